// The Main tab's file commands and the project utilities through the controller, with fake dialogs
// and the files in the test's folder.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "controller_fixture.h"
#include "player/player.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* Song = "0.0 out(1, $90, 60, 100);\n1.0 out(1, $90, 62, 100);\n";
constexpr const char* DiscardQuestion = "The editor holds changes that are not saved. Discard them?";

class MainTabTest : public ControllerTest {
 protected:
  // The user types into the editor.
  void Type(const std::string& text) {
    View.Editor += text;
    View.Modified = true;
  }
  const TFakeDialogs::TFileRun& LastRun() const { return Dialogs.FileRuns.back(); }
};

TEST_F(MainTabTest, LoadAndEditShareTheOpenDialog) {
  Create();
  Controller->SetProjectRoot(Folder + "project/");
  Controller->LoadCommand();  // cancelled
  EXPECT_EQ(LastRun().Before.InitialDir, Folder + "project/");
  Controller->EditCommand();  // edit does not start in the project root
  EXPECT_EQ(LastRun().Before.InitialDir, Folder + "Tambrels/");
  Controller->SetProjectRoot("");
  Controller->LoadCommand();
  EXPECT_EQ(LastRun().Before.InitialDir, Folder + "Tambrels/");
  EXPECT_TRUE(View.Lines.empty());
  EXPECT_EQ(Controller->LastFile(), "");

  // ':' is part of a name, the directory ends at the last '/'.
  const std::string path = Script("live:set.tmb", Song);
  Dialogs.FileAnswer = path;
  Controller->LoadCommand();
  EXPECT_EQ(Controller->LastFile(), path);
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"live:set.tmb"}));
  Controller->EditCommand();
  EXPECT_EQ(LastRun().Before.FileName, path);
  EXPECT_EQ(LastRun().Before.InitialDir, Folder);
}

TEST_F(MainTabTest, EditAndSaveKeepTheBytesAndTheMode) {
  Create();
  const std::string original = "0.0 out(1, $90, 60, 100);\xA0\r\n1.0 out(1, $90, 62, 100);\r\n";
  const std::string path = Script("song.tmb", original);
  Dialogs.FileAnswer = path;
  Controller->EditCommand();
  EXPECT_EQ(View.Editor, "0.0 out(1, $90, 60, 100);\xC2\xA0\n1.0 out(1, $90, 62, 100);\n");

  // Unchanged under another name: the same bytes.
  Dialogs.FileAnswer = Folder + "copy.tmb";
  Controller->SaveCommand();
  EXPECT_EQ(LastRun().Dialog, TFileDialog::SaveTambrel);
  EXPECT_EQ(LastRun().Before.FileName, path);
  EXPECT_EQ(LastRun().Before.InitialDir, Folder);
  EXPECT_EQ(Temp.Read(Folder + "copy.tmb"), original);
  EXPECT_EQ(Controller->EditFileName(), Folder + "copy.tmb");

  Type("2.0 out(1, $90, 64, 100);\n");
  Dialogs.FileAnswer = path;
  Controller->SaveCommand();
  EXPECT_EQ(Temp.Read(path), original + "2.0 out(1, $90, 64, 100);\r\n");
  EXPECT_FALSE(View.Modified);
}

// A file that cannot be read or written changes neither the editor, nor the file, nor its name.
TEST_F(MainTabTest, AFailedReadOrSaveChangesNothing) {
  Create();
  const std::string original = "caf\xE9\n";  // Latin-1
  const std::string path = Script("song.tmb", original);
  Controller->EditorLoad(path);
  Type(std::string(100, 'x') + "\n");
  const std::string typed = View.Editor;
  for (const std::string& bad : {Folder, Folder + "missing.tmb"}) {
    SCOPED_TRACE(bad);
    const size_t errors = View.Errors.size();
    Controller->EditorLoad(bad);
    EXPECT_EQ(View.Errors.size(), errors + 1);
    EXPECT_EQ(View.Editor, typed);
  }
  EXPECT_TRUE(Dialogs.Asked.empty());  // nothing to discard for a file that was not read
  EXPECT_TRUE(View.Modified);
  // A file size limit stops the write part way, for any user.
  struct sigaction ignore {};
  struct sigaction before {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &before);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{16, limit.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(Controller->EditorSave(path), std::exception);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::sigaction(SIGXFSZ, &before, nullptr);
  Type("5 \xE2\x82\xAC\n");  // Latin-1 has no euro
  EXPECT_THROW(Controller->EditorSave(path), std::runtime_error);

  EXPECT_EQ(Temp.Read(path), original);
  EXPECT_EQ(Controller->EditFileName(), path);
  EXPECT_TRUE(View.Modified);
  for (const auto& entry : fs::directory_iterator(Folder))  // no temporary file left
    EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos) << entry.path();
}

TEST_F(MainTabTest, UnsavedTextIsReplacedOnlyWhenTheUserAgrees) {
  Create();
  const std::string first = Script("first.tmb", Song);
  const std::string second = Script("second.tmb", "0.0 out(1, $90, 70, 100);\n");
  Controller->EditorLoad(first);
  Type("mine\n");
  Dialogs.FileAnswer = second;
  Controller->SetAutoEdit(true);
  Controller->LoadTambrel(second);
  Controller->EditCommand();
  EXPECT_FALSE(Controller->RequestClose());
  EXPECT_EQ(Dialogs.Asked, std::vector<std::string>(3, DiscardQuestion));
  EXPECT_EQ(View.Editor, std::string(Song) + "mine\n");
  EXPECT_EQ(Controller->EditFileName(), first);
  EXPECT_EQ(View.Loaded, (std::vector<std::string>{"second.tmb"}));  // the load itself went ahead

  Dialogs.ConfirmAnswer = true;
  Controller->EditCommand();
  EXPECT_EQ(View.Editor, "0.0 out(1, $90, 70, 100);\n");
  EXPECT_EQ(Controller->EditFileName(), second);
  Dialogs.Asked.clear();
  EXPECT_TRUE(Controller->RequestClose());
  EXPECT_TRUE(Dialogs.Asked.empty());
}

TEST_F(MainTabTest, SyntaxCheckReadsTheSavedFileAndLeavesThePlayerAlone) {
  Create();
  Controller->LoadTambrel(Script("playing.tmb", Song));
  const std::string path = Script("edited.tmb", "0.0 out(1, $90, 60, 100);\n");
  Controller->EditorLoad(path);
  Type("0 out(1, ;\n");  // not saved: not seen
  View.Lines.clear();
  View.Tab = TTab::Main;
  Controller->CheckSyntaxCommand();
  EXPECT_EQ(View.Lines, (std::vector<std::string>{"Checking: " + path, "Syntax OK.", "Compilation OK."}));
  EXPECT_EQ(View.Tab, TTab::Debug);
  EXPECT_EQ(Controller->Player()->ItemCount(), 3);
}

TEST_F(MainTabTest, PatchListIsWrittenFromAFreshListing) {
  Create();
  const std::string root = Folder + "project/";
  fs::create_directory(root);
  for (const char* name : {"b.pch", "A.PCH", "two\nlines.pch"}) std::ofstream(root + name) << "patch";
  Controller->SetProjectRoot(root);
  std::ofstream(root + "c.pch") << "patch";  // after the listing
  // The old list stays whole for whoever still holds it.
  std::ofstream(root + "bank1.pchlist") << "old";
  fs::create_hard_link(root + "bank1.pchlist", Folder + "held.pchlist");

  Dialogs.FileAnswer = root + "bank1.pchlist";
  Controller->GeneratePatchListCommand();
  EXPECT_EQ(LastRun().Dialog, TFileDialog::SavePatchList);
  EXPECT_EQ(LastRun().Before.InitialDir, root);
  EXPECT_EQ(LastRun().Before.FileName, "bank1.pchlist");
  EXPECT_EQ(Temp.Read(root + "bank1.pchlist"), "1\r\nA.PCH\r\nb.pch\r\nc.pch\r\n");
  EXPECT_TRUE(HasLine("Patch file name with a line break left out of the list: \"two?lines.pch\""));
  EXPECT_EQ(Temp.Read(Folder + "held.pchlist"), "old");

  std::ofstream(root + "d.pch") << "patch";
  Dialogs.FileAnswer.reset();
  Controller->GeneratePatchListCommand();
  EXPECT_EQ(View.PatchFiles,
            (std::vector<std::string>{"A.PCH", "b.pch", "c.pch", "d.pch", "two\nlines.pch"}));

  // A patch file is never overwritten by the list, also not through a link.
  fs::create_symlink(root + "b.pch", Folder + "to-b.pchlist");
  for (const std::string& target : {root + "b.pch", root + "./A.PCH", Folder + "to-b.pchlist"}) {
    SCOPED_TRACE(target);
    Dialogs.FileAnswer = target;
    EXPECT_THROW(Controller->GeneratePatchListCommand(), std::runtime_error);
  }
  EXPECT_EQ(Temp.Read(root + "b.pch"), "patch");
}

TEST_F(MainTabTest, ChoosingTheRootsThroughTheDirectoryPicker) {
  Create();
  const std::string root = Folder + "live:set";
  fs::create_directory(root);
  std::ofstream(root + "/x.pch") << "patch";
  for (const std::string& answer : {root, root + "/"}) {
    SCOPED_TRACE(answer);
    Controller->SetProjectRoot("");
    Dialogs.FileAnswer = answer;
    Controller->BrowseProjectRoot();
    EXPECT_EQ(Dialogs.Asked.back(), "Project root directory");
    EXPECT_EQ(View.Edits[TEditField::ProjectRoot], root + "/");
    EXPECT_EQ(View.PatchFiles, (std::vector<std::string>{"x.pch"}));
  }
  EXPECT_EQ(Dialogs.FileRuns.front().Before.InitialDir, Folder);
  EXPECT_EQ(LastRun().Before.InitialDir, root + "/");

  Dialogs.FileAnswer = Folder + "pictures";
  Controller->BrowsePictureRoot();
  EXPECT_EQ(Dialogs.Asked.back(), "Picture root directory");
  EXPECT_EQ(Controller->PictureRoot(), Folder + "pictures/");
}

}  // namespace
}  // namespace tambrel
