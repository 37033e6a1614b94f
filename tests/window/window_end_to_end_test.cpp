// The window program as a user runs it: under a private X server and a private JACK server, with a
// settings file that routes output 1 to a JACK client of the test and reloads and plays a Tambrel.
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
  // Waits (bounded) for a window whose title starts with "Tambrel"; its id.
  std::string WaitForWindow() {
    for (int i = 0; i < 100; ++i) {
      std::string id = Display.XDoTool({"search", "--onlyvisible", "--name", "^Tambrel$"}, 5000);
      if (!id.empty()) return id.substr(0, id.find('\n'));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
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
  std::vector<std::string> environment = Jack.Environment();
  for (const std::string& each : Display.Environment()) environment.push_back(each);
  environment.push_back("QT_QPA_PLATFORM=xcb");
  TBackgroundChild window({Program.Path + "tambrel"}, Program.Path + "output.txt", environment);

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

  Display.XDoTool({"key", "--window", id, "alt+x"});
  for (int i = 0; i < 100 && window.Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const bool ended = !window.Running();
  const std::string said = window.Stop();
  EXPECT_TRUE(ended) << said;

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

}  // namespace
}  // namespace tambrel
