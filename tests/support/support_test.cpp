#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/app_paths.h"
#include "support/checked_math.h"
#include "support/debug_log.h"
#include "support/runtime_errors.h"
#include "support/start_target.h"
#include "support/text_format.h"
#include "support/version_info.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PlayTimeText, EdgesOfMinutesAndSeconds) {
  EXPECT_EQ(FormatPlayTime(0), "00000:00.000");
  EXPECT_EQ(FormatPlayTime(59999), "00000:59.999");
  EXPECT_EQ(FormatPlayTime(60000), "00001:00.000");
  EXPECT_EQ(FormatPlayTime(3723004), "00062:03.004");
  EXPECT_EQ(FormatPlayTime(62500), "00001:02.500");
  // Minutes are never reduced into hours and widen past five digits.
  EXPECT_EQ(FormatPlayTime(4294967295u), "71582:47.295");
}

TEST(IndentText, LevelsAndLimits) {
  EXPECT_EQ(IndentText(0), "");
  EXPECT_EQ(IndentText(-4), "");
  EXPECT_EQ(IndentText(3), "| | | ");
  EXPECT_EQ(IndentText(128).size(), 256u);
  const std::string wide = IndentText(200);
  EXPECT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide, IndentText(128));
  EXPECT_EQ(wide.substr(254), "| ");
  EXPECT_THROW(IndentText(1 << 30), EIntOverflow);
}

TEST(SettingsFileName, UpToTheFirstDot) {
  EXPECT_EQ(IniNameFor("/opt/x/tambrel"), "tambrel.INI");
  EXPECT_EQ(IniNameFor("abc.exe"), "abc.INI");
  EXPECT_EQ(IniNameFor("/a.b/ab.cd.exe"), "ab.INI");
}

TEST(FileNames, OnlySlashSeparatesDirectories) {
  EXPECT_EQ(FileNameOnly("/home/u/song.tmb"), "song.tmb");
  EXPECT_EQ(FileNameOnly("sub:x/song 10:30.tmb"), "song 10:30.tmb");
  EXPECT_EQ(FileNameOnly("C:\\dir\\song.tmb"), "C:\\dir\\song.tmb");
  EXPECT_EQ(FileNameOnly("song.tmb"), "song.tmb");
  EXPECT_EQ(DirectoryOf("/home/a:b\\c/song.tmb"), "/home/a:b\\c/");
  EXPECT_EQ(DirectoryOf("c:song.tmb"), "");
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tambrel-support-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(StartupTest, PathsAndDebugFileWithOneStartLine) {
  {
    std::ofstream stale(dir / "debug.txt");
    stale << "left over from an earlier run\n";
  }
  SupportStartup((dir / "ab.cd.exe").string());
  EXPECT_EQ(AppPath(), dir.string() + "/");
  EXPECT_EQ(IniFileName(), dir.string() + "/ab.INI");
  EXPECT_EQ(DebugFileName(), dir.string() + "/debug.txt");

  const std::string text = ReadFile(dir / "debug.txt");
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_TRUE(text.ends_with(" - Program start\n")) << text;
  EXPECT_EQ(text[5], ':');
  EXPECT_EQ(text[8], '.');

  DebugLog("second");
  EXPECT_TRUE(ReadFile(dir / "debug.txt").ends_with(" - second\n"));
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

TEST(RunningProgram, IsAnAbsolutePathToThisTest) {
  const std::string self = RunningProgramFile();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self.front(), '/');
  EXPECT_EQ(FileNameOnly(self), "test_support");
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

TEST(VersionValues, BuildConfiguredValuesReachTheAccessors) {
  LoadVersionInfo();
  EXPECT_EQ(VerProductName(), "Tambrel");
  EXPECT_EQ(VerLegalCopyRight(), "Unknown");
  EXPECT_FALSE(VerFileVersion().empty());
}

TEST(StartTarget, GoesToTheBoundOpener) {
  std::string opened;
  SetTargetOpener([&](const std::string& target) { opened = target; });
  StartTarget("mailto:someone@example.invalid");
  SetTargetOpener({});
  EXPECT_EQ(opened, "mailto:someone@example.invalid");
}

TEST(IntegerHelpers, MinMaxAndCheckedArithmetic) {
  EXPECT_EQ(MaxInt(-3, 2), 2);
  EXPECT_EQ(MinInt(-3, 2), -3);
  EXPECT_EQ(MaxInt(INT32_MIN, INT32_MIN), INT32_MIN);
  EXPECT_THROW(CheckedAdd(2147483647, 1), EIntOverflow);
  EXPECT_THROW(CheckedNeg(INT32_MIN), EIntOverflow);
  EXPECT_THROW(CheckedAddU32(4294967295u, 1u), EIntOverflow);
  EXPECT_EQ(CheckedSub(-2147483647, 1), INT32_MIN);
  try {
    CheckedMul(65536, 65536);
    FAIL();
  } catch (const EIntOverflow& e) {
    EXPECT_STREQ(e.what(), "Integer overflow");
  }
}

TEST(StrFormat, FormatsLikePrintf) {
  EXPECT_EQ(StrFormat("[%d,%d] in file \"%s\": \"%s\"", 3, 7, "a.tmb", "x"),
            "[3,7] in file \"a.tmb\": \"x\"");
  EXPECT_EQ(StrFormat("%s", ""), "");
  EXPECT_EQ(StrFormat("%s", std::string(5000, 'x').c_str()).size(), 5000u);
}

}  // namespace
}  // namespace tambrel
