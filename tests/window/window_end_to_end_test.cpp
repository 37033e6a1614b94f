// The window program as a user runs it: under a private X server and a private JACK server, with a
// settings file that routes output 1 to a JACK client of the test and reloads and plays a Tambrel, and
// loads another through the open dialog as a user does.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "jack_fixture.h"
#include "jack_reader.h"
#include "xvfb_display.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A copy of the program with its files in a folder of its own, so that its settings are the test's.
class TProgramFolder {
 public:
  TProgramFolder() : Path(testing::TempDir() + "/tambrel-window-" + std::to_string(::getpid()) + "/") {
    fs::remove_all(Path);
    fs::create_directories(Path);
    const fs::path bin = TAMBREL_OUTPUT_DIR;
    fs::copy_file(bin / "tambrel", Path + "tambrel");
    fs::copy(bin / "Include", Path + "Include", fs::copy_options::recursive);
    for (const char* help : {"QuickStart.txt", "Syntax.txt", "More.txt", "Credits.txt"})
      fs::copy_file(bin / help, Path + help);
  }
  ~TProgramFolder() { fs::remove_all(Path); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path + name, std::ios::binary) << text;
    return Path + name;
  }
  const std::string Path;
};

class WindowEndToEnd : public ::testing::Test {
 protected:
  // The main window (titled "Tambrel" while stopped).
  std::string WaitForWindow() { return WaitForTitle("^Tambrel$"); }
  // Waits (bounded) for a shown window whose title matches; its id, empty when none came.
  std::string WaitForTitle(const std::string& pattern) {
    for (int i = 0; i < 100; ++i) {
      std::string id = Display.XDoTool({"search", "--onlyvisible", "--name", pattern}, 5000);
      if (!id.empty()) return id.substr(0, id.find('\n'));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
  }
  // Whether the window is still shown (a closed dialog is not).
  bool Shown(const std::string& id) {
    std::istringstream ids(Display.XDoTool({"search", "--onlyvisible", "--name", "."}, 5000));
    for (std::string each; std::getline(ids, each);)
      if (each == id) return true;
    return false;
  }
  std::vector<std::string> ProgramEnvironment() const {
    std::vector<std::string> environment = Jack.Environment();
    for (const std::string& each : Display.Environment()) environment.push_back(each);
    environment.push_back("QT_QPA_PLATFORM=xcb");
    return environment;
  }
  // E&xit by its key; what the program printed. The window must have ended within 10 s.
  std::string Exit(TBackgroundChild& window, const std::string& id) {
    Display.XDoTool({"key", "--window", id, "alt+x"});
    for (int i = 0; i < 100 && window.Running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool ended = !window.Running();
    std::string said = window.Stop();
    EXPECT_TRUE(ended) << said;
    return said;
  }
  void Shot(const std::string& name) {
    fs::create_directories(TAMBREL_SCREENSHOT_DIR);
    EXPECT_TRUE(Display.Screenshot(std::string(TAMBREL_SCREENSHOT_DIR) + "/" + name)) << name;
  }

  TXvfbDisplay Display;
  TJackServer Jack;
  TProgramFolder Program;
};

TEST_F(WindowEndToEnd, ReloadsAndPlaysToAJackClientAndSavesItsSettingsOnExit) {
  TJackReader reader(Jack.Name());
  // The last note still sounds when the window is closed.
  const std::string song = Program.Write("song.tmb",
                                         "0 out(1, $90, 60, 100);\n"
                                         "0.4 out(1, $80, 60, 0);\n"
                                         "0.5 out(1, $90, 64, 90);\n"
                                         "0.9 out(1, $80, 64, 0);\n"
                                         "1.0 out(1, $92, 67, 80);\n"
                                         "60.0 out(1, $82, 67, 0);\n");
  const std::string port = TJackReader::Listed;
  Program.Write("tambrel.INI",
                "[Settings]\nMidiOutSelection1=" + port +
                    "\nMidiActive1=1\nMidiOutMapDev1=1\nAutoReload=1\nAutoPlay=1\nLastFile=" + song +
                    "\nFuture=kept\n[Position]\nLeft=20\nTop=30\nWidth=760\nHeight=520\n");
  TBackgroundChild window({Program.Path + "tambrel"}, Program.Path + "output.txt", ProgramEnvironment());

  const std::string id = WaitForWindow();
  ASSERT_FALSE(id.empty()) << ReadFile(Program.Path + "output.txt");
  // The reload comes 1.5 s after the window is shown.
  const std::vector<std::vector<uint8_t>> played = reader.CollectBytes(5, true);
  EXPECT_EQ(played.size(), 5u) << ReadFile(Program.Path + "output.txt");
  // Without a picture root the slide window comes up over the main window with its warning; Escape
  // closes the warning and hides the slide window.
  Shot("window-start.png");
  std::istringstream slideWindows(Display.XDoTool({"search", "--name", "^Tambrel - slide show$"}, 5000));
  for (std::string each; std::getline(slideWindows, each);)
    Display.XDoTool({"key", "--window", each, "Escape"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Display.XDoTool({"windowfocus", "--sync", id});
  Shot("window-main.png");
  // The "Se&ttings" tab by a click: Alt+T is "Nex&t" as well.
  Display.XDoTool({"mousemove", "--window", id, "145", "77", "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Shot("window-settings.png");

  const std::string said = Exit(window, id);

  const std::vector<std::vector<uint8_t>> events = reader.CollectBytes(6, true);
  const std::vector<std::vector<uint8_t>> expected{{0x90, 60, 100}, {0x80, 60, 0},  {0x90, 64, 90},
                                                   {0x80, 64, 0},   {0x92, 67, 80}, {0x82, 67, 0}};
  EXPECT_EQ(events, expected) << said;

  const std::string settings = ReadFile(Program.Path + "tambrel.INI");
  for (const std::string& line :
       {"MidiOutSelection1=" + port + "\n", std::string("MidiActive1=1\n"), std::string("Future=kept\n"),
        "LastFile=" + song + "\n", std::string("[Debug]\nLexYacc=0\n")})
    EXPECT_NE(settings.find(line), std::string::npos) << line << "\nin\n" << settings;
}

// A Tambrel loaded through the open dialog plays and, with "Remove on finish", leaves the player at its
// end: a reset then plays only the other Tambrel, loaded at the start by the reload. Program changes
// hold no notes, so no release of held notes adds events.
TEST_F(WindowEndToEnd, ATambrelLoadedThroughTheDialogPlaysAndIsUnloadedWhenItFinishes) {
  TJackReader reader(Jack.Name());
  const std::string stays = Program.Write("stays.tmb",
                                          "0.5 out(1, $C1, 7);\n"
                                          "60.0 out(1, $C1, 8);\n");
  const std::string goes = Program.Write("goes.tmb",
                                         "0 out(1, $90, 60, 100);\n"
                                         "0.2 out(1, $80, 60, 0);\n");
  const std::string project = Program.Path + "project/";
  fs::create_directories(project);
  for (const char* patch : {"Bass.pch", "lead.PCH", "notes.txt"})
    Program.Write(std::string("project/") + patch, "");
  Program.Write("tambrel.INI",
                "[Settings]\nMidiOutSelection1=" + std::string(TJackReader::Listed) +
                    "\nMidiActive1=1\nMidiOutMapDev1=1\nAutoReload=1\nAutoPlay=1\nRemoveOnFinish=1"
                    "\nProjectRoot=" +
                    project + "\nLastFile=" + stays + "\n[Position]\nLeft=20\nTop=30\n");
  TBackgroundChild window({Program.Path + "tambrel"}, Program.Path + "output.txt", ProgramEnvironment());
  const std::string id = WaitForWindow();
  ASSERT_FALSE(id.empty()) << ReadFile(Program.Path + "output.txt");
  const std::vector<uint8_t> stayed{0xC1, 7};
  ASSERT_EQ(reader.CollectBytes(1, true), std::vector<std::vector<uint8_t>>{stayed})
      << ReadFile(Program.Path + "output.txt");
  std::istringstream slideWindows(Display.XDoTool({"search", "--name", "^Tambrel - slide show$"}, 5000));
  for (std::string each; std::getline(slideWindows, each);)
    Display.XDoTool({"key", "--window", each, "Escape"});

  // "&Load ..." by its accelerator; Qt's own file dialog takes the typed path.
  Display.XDoTool({"windowfocus", "--sync", id});
  Display.XDoTool({"key", "--window", id, "alt+l"});
  const std::string dialog = WaitForTitle("^Open");
  ASSERT_FALSE(dialog.empty()) << ReadFile(Program.Path + "output.txt");
  Display.XDoTool({"windowfocus", "--sync", dialog});
  Display.XDoTool({"type", "--delay", "20", goes});
  // A completion list shown over the name field may take the first Return.
  for (int i = 0; i < 10 && Shown(dialog); ++i) {
    Display.XDoTool({"key", "Return"});
    for (int j = 0; j < 20 && Shown(dialog); ++j) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(Shown(dialog));
  // Auto play restarts the player with both loaded.
  const std::vector<std::vector<uint8_t>> loaded{stayed, {0x90, 60, 100}, {0x80, 60, 0}, stayed};
  ASSERT_EQ(reader.CollectBytes(4, true), loaded) << ReadFile(Program.Path + "output.txt");
  Display.XDoTool({"windowfocus", "--sync", id});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // lets the window repaint for a person
  Shot("window-main-after-finish.png");

  // "&Reset": the finished Tambrel's note would come first if it were still loaded.
  Display.XDoTool({"key", "--window", id, "alt+r"});
  std::vector<std::vector<uint8_t>> reset = loaded;
  reset.push_back(stayed);
  EXPECT_EQ(reader.CollectBytes(5, true), reset) << ReadFile(Program.Path + "output.txt");

  // "&Debug" then "&Utils": no button there claims the U.
  Display.XDoTool({"key", "--window", id, "alt+d"});
  Display.XDoTool({"key", "--window", id, "alt+u"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Shot("window-utils.png");

  const std::string said = Exit(window, id);
  EXPECT_EQ(reader.CollectBytes(5, true), reset) << said;
  const std::string settings = ReadFile(Program.Path + "tambrel.INI");
  // As the dialog gives the path: without the doubled slash of the temporary folder.
  for (const std::string& line :
       {"LastFile=" + fs::path(goes).lexically_normal().string() + "\n", std::string("RemoveOnFinish=1\n")})
    EXPECT_NE(settings.find(line), std::string::npos) << line << "\nin\n" << settings;
}

}  // namespace
}  // namespace tambrel
