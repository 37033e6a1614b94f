#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "support/app_paths.h"
#include "support/atomic_file.h"
#include "support/debug_log.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"
#include "support/version_info.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

TEST(PlayTimeText, EdgesOfMinutesAndSeconds) {
  // Minutes are never reduced into hours and widen past five digits.
  std::vector<std::string> texts;
  for (uint32_t ms : {0u, 59999u, 60000u, 3723004u, 4294967295u}) texts.push_back(FormatPlayTime(ms));
  EXPECT_EQ(texts, (std::vector<std::string>{"00000:00.000", "00000:59.999", "00001:00.000", "00062:03.004",
                                             "71582:47.295"}));
}

TEST(FileNames, OnlySlashSeparatesDirectories) {
  std::vector<std::string> names;
  for (const char* path : {"/home/u/song.tmb", "sub:x/song 10:30.tmb", "C:\\dir\\song.tmb", "song.tmb"})
    names.push_back(FileNameOnly(path));
  EXPECT_EQ(names, (std::vector<std::string>{"song.tmb", "song 10:30.tmb", "C:\\dir\\song.tmb", "song.tmb"}));
  EXPECT_EQ(DirectoryOf("/home/a:b\\c/song.tmb"), "/home/a:b\\c/");
  EXPECT_EQ(DirectoryOf("c:song.tmb"), "");
}

class StartupTest : public ::testing::Test {
 protected:
  TTempFolder folder;
  const fs::path dir = folder.Root;
};

TEST_F(StartupTest, PathsAndDebugFileWithOneStartLine) {
  folder.Write("debug.txt", "left over from an earlier run\n");
  SupportStartup((dir / "ab.cd.exe").string());
  EXPECT_EQ(std::tuple(AppPath(), IniFileName(), DebugFileName()),
            std::tuple(dir.string() + "/", dir.string() + "/ab.INI", dir.string() + "/debug.txt"));

  std::string shape = folder.Read("debug.txt");
  for (char& c : shape) c = c >= '0' && c <= '9' ? '9' : c;
  EXPECT_EQ(shape, "99999:99.999 - Program start\n");  // one line, the earlier run's text gone

  DebugLog("second");
  EXPECT_TRUE(folder.Read("debug.txt").ends_with(" - second\n"));
}

TEST_F(StartupTest, WrittenFilesGoToTheConfigFolderWhenTheProgramFolderIsNotWritable) {
  EXPECT_EQ(WritableFolderFor(dir.string() + "/"), dir.string() + "/");

  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  const std::string folder = WritableFolderFor("/nonexistent-tambrel-folder/");
  saved ? ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");

  EXPECT_EQ(folder, (dir / "config").string() + "/tambrel/");
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(StartupTest, UnwritableDebugFileStopsStartUp) {
  fs::create_directory(dir / "debug.txt");
  EXPECT_THROW(SupportStartup((dir / "tambrel").string()), EInOutError);
}

// Where a written file lands and with which mode: a new file as the umask says, an existing one keeps
// its mode, a link keeps pointing at the file it named, and a failure leaves the folder as it was.
TEST_F(StartupTest, FilesAreReplacedWholeKeepingModeAndLinks) {
  const auto modeOf = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; };
  const mode_t umaskBefore = ::umask(022);
  WriteFileAtomically((dir / "new.txt").string(), "fresh");
  ::umask(umaskBefore);
  EXPECT_EQ(modeOf(dir / "new.txt"), fs::perms(0644));

  folder.Write("kept.txt", "an older and longer text");
  fs::permissions(dir / "kept.txt", fs::perms(0640));
  fs::create_symlink("kept.txt", dir / "link.txt");
  WriteFileAtomically((dir / "link.txt").string(), [](std::ostream& out) { out << "new " << 2; });
  EXPECT_EQ(std::tuple(fs::is_symlink(dir / "link.txt"), folder.Read("kept.txt"), modeOf(dir / "kept.txt")),
            std::tuple(true, "new 2", fs::perms(0640)));

  const auto failing = [](std::ostream& out) {
    out << std::string(100000, 'x');
    throw EInOutError("content failed");
  };
  EXPECT_THROW(WriteFileAtomically((dir / "kept.txt").string(), failing), EInOutError);
  EXPECT_THROW(WriteFileAtomically((dir / "none" / "x.txt").string(), "x"), EInOutError);
  EXPECT_EQ(folder.Read("kept.txt"), "new 2");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
}

TEST(VersionValues, UnknownWhereNotConfigured) {
  std::array<const char*, VersionKeyCount> configured{};
  configured[static_cast<size_t>(VersionKey::ProductName)] = "Tambrel";
  configured[static_cast<size_t>(VersionKey::Comments)] = "";
  const auto values = VersionValuesFrom(configured);
  for (int i = 0; i < VersionKeyCount; ++i) {
    const std::string expected = i == static_cast<int>(VersionKey::ProductName) ? "Tambrel" : "Unknown";
    EXPECT_EQ(values[static_cast<size_t>(i)], expected) << VersionKeyName(static_cast<VersionKey>(i));
  }
  EXPECT_STREQ(VersionKeyName(VersionKey::LegalCopyRight), "LegalCopyRight");
  EXPECT_STREQ(VersionKeyName(VersionKey::Email), "email");
  EXPECT_STREQ(VersionKeyName(VersionKey::Web), "web");
}

}  // namespace
}  // namespace tambrel
