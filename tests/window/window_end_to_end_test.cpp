// The window program as a user runs it: under a private X server and a private JACK server, with a
// settings file that routes output 1 to a JACK client of the test and reloads and plays a Tambrel, and
// loads another through the open dialog as a user does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "jack_fixture.h"
#include "jack_reader.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

// A private X server (Xvfb), and xdotool to drive it.
class TXvfbDisplay {
 public:
  // Xvfb takes the first free display number itself and writes it to the pipe once it accepts
  // clients: tests started at the same time cannot pick the same number, as they could when the lock
  // files were looked at first.
  TXvfbDisplay() {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
      throw std::system_error(errno, std::generic_category(), "pipe for Xvfb");
    ::fcntl(pipeFds[1], F_SETFD, 0);  // the server's end
    Server = std::make_unique<TBackgroundChild>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                 "1280x800x24", "-nolisten", "tcp"},
        "/tmp/tambrel-xvfb" + std::to_string(::getpid()) + ".log");
    ::close(pipeFds[1]);
    std::string number;
    pollfd ready{pipeFds[0], POLLIN, 0};
    for (char c = 0; ::poll(&ready, 1, 10000) > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n';)
      if (c >= '0' && c <= '9') number += c;
    ::close(pipeFds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start: " + Server->Stop());
    Display = ":" + number;
  }
  // What an X11 client of this display needs. libxkbcommon-x11 hands strndup a keymap name that is not
  // NUL-terminated within its buffer; the sanitizer suite's strict string checks would stop every Qt
  // client inside the X11 plugin at start, so they are left out here.
  std::vector<std::string> Environment() const {
    return {"DISPLAY=" + Display, "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"};
  }
  // Runs xdotool with the arguments on this display; its standard output.
  std::string XDoTool(std::vector<std::string> arguments, int timeoutMs = 20000) const {
    arguments.insert(arguments.begin(), "/usr/bin/xdotool");
    TChildOptions options;
    options.ExtraEnvironment = Environment();
    options.TimeoutMs = timeoutMs;
    return RunChild(arguments, options).Out;
  }

 private:
  std::string Display;
  std::unique_ptr<TBackgroundChild> Server;
};

// A copy of the program with its files in a folder of its own, so that its settings are the test's.
struct TProgramFolder : TTempFolder {
  TProgramFolder() {
    const fs::path bin = TAMBREL_OUTPUT_DIR;
    fs::copy_file(bin / "tambrel", Root / "tambrel");
    fs::copy(bin / "Include", Root / "Include", fs::copy_options::recursive);
    for (const char* help : {"QuickStart.txt", "Syntax.txt", "More.txt", "Credits.txt"})
      fs::copy_file(bin / help, Root / help);
  }
  const std::string Path = Root.string() + "/";
};

class WindowEndToEnd : public ::testing::Test {
 protected:
  // Starts the program with these settings and a JACK client of the test at output 1; the main window's
  // id (titled "Tambrel" while stopped), empty when it did not come.
  std::string Start(const std::string& settings) {
    Program.Write("tambrel.INI", "[Settings]\nMidiOutSelection1=" + std::string(TJackReader::Listed) +
                                     "\nMidiActive1=1\nMidiOutMapDev1=1\nAutoReload=1\nAutoPlay=1\n" +
                                     settings);
    std::vector<std::string> environment = Jack.Environment();
    for (const std::string& each : Display.Environment()) environment.push_back(each);
    environment.push_back("QT_QPA_PLATFORM=xcb");
    Window = std::make_unique<TBackgroundChild>(std::vector<std::string>{Program.Path + "tambrel"},
                                                Program.Path + "output.txt", environment);
    return WaitForTitle("^Tambrel$");
  }
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
  // Without a picture root the slide window comes up over the main window with its warning; Escape
  // closes the warning and hides the slide window.
  void HideSlideWindows() {
    std::istringstream ids(Display.XDoTool({"search", "--name", "^Tambrel - slide show$"}, 5000));
    for (std::string each; std::getline(ids, each);) Display.XDoTool({"key", "--window", each, "Escape"});
  }
  std::string Said() const { return Program.Read("output.txt"); }
  // E&xit by its key; what the program printed. The window must have ended within 10 s.
  std::string Exit(const std::string& id) {
    Display.XDoTool({"key", "--window", id, "alt+x"});
    for (int i = 0; i < 100 && Window->Running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const bool ended = !Window->Running();
    std::string said = Window->Stop();
    EXPECT_TRUE(ended) << said;
    return said;
  }
  // Saves the screen as a PNG file through the grab tool beside the tests.
  void Shot(const std::string& name) {
    fs::create_directories(TAMBREL_SCREENSHOT_DIR);
    TChildOptions options;
    options.ExtraEnvironment = Display.Environment();
    const std::string path = std::string(TAMBREL_SCREENSHOT_DIR) + "/" + name;
    EXPECT_EQ(RunChild({TAMBREL_SCREEN_GRAB, path}, options).ExitStatus, 0) << name;
  }
  void ExpectSettingsHave(const std::vector<std::string>& lines) const {
    const std::string settings = Program.Read("tambrel.INI");
    for (const std::string& line : lines)
      EXPECT_NE(settings.find(line), std::string::npos) << line << "\nin\n" << settings;
  }

  TXvfbDisplay Display;
  TJackServer Jack;
  TProgramFolder Program;
  TJackReader Reader{Jack.Name()};
  std::unique_ptr<TBackgroundChild> Window;
};

TEST_F(WindowEndToEnd, ReloadsAndPlaysToAJackClientAndSavesItsSettingsOnExit) {
  // The last note still sounds when the window is closed.
  const std::string song = Program.Write("song.tmb",
                                         "0 out(1, $90, 60, 100);\n"
                                         "0.4 out(1, $80, 60, 0);\n"
                                         "0.5 out(1, $90, 64, 90);\n"
                                         "0.9 out(1, $80, 64, 0);\n"
                                         "1.0 out(1, $92, 67, 80);\n"
                                         "60.0 out(1, $82, 67, 0);\n");
  const std::string id =
      Start("LastFile=" + song + "\nFuture=kept\n[Position]\nLeft=20\nTop=30\nWidth=760\nHeight=520\n");
  ASSERT_FALSE(id.empty()) << Said();
  // The reload comes 1.5 s after the window is shown.
  EXPECT_EQ(Reader.CollectBytes(5, true).size(), 5u) << Said();
  Shot("window-start.png");
  HideSlideWindows();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Display.XDoTool({"windowfocus", "--sync", id});
  Shot("window-main.png");
  // The "Se&ttings" tab by a click: Alt+T is "Nex&t" as well.
  Display.XDoTool({"mousemove", "--window", id, "145", "77", "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Shot("window-settings.png");

  const std::string said = Exit(id);
  EXPECT_EQ(
      Reader.CollectBytes(6, true),
      (std::vector<std::vector<uint8_t>>{
          {0x90, 60, 100}, {0x80, 60, 0}, {0x90, 64, 90}, {0x80, 64, 0}, {0x92, 67, 80}, {0x82, 67, 0}}))
      << said;
  ExpectSettingsHave({"MidiOutSelection1=" + std::string(TJackReader::Listed) + "\n", "MidiActive1=1\n",
                      "Future=kept\n", "LastFile=" + song + "\n", "[Debug]\nLexYacc=0\n"});
}

// A Tambrel loaded through the open dialog plays and, with "Remove on finish", leaves the player at its
// end: a reset then plays only the other Tambrel, loaded at the start by the reload. Program changes
// hold no notes, so no release of held notes adds events.
TEST_F(WindowEndToEnd, ATambrelLoadedThroughTheDialogPlaysAndIsUnloadedWhenItFinishes) {
  const std::string stays = Program.Write("stays.tmb", "0.5 out(1, $C1, 7);\n60.0 out(1, $C1, 8);\n");
  const std::string goes = Program.Write("goes.tmb", "0 out(1, $90, 60, 100);\n0.2 out(1, $80, 60, 0);\n");
  const std::string project = Program.Path + "project/";
  for (const char* patch : {"Bass.pch", "lead.PCH", "notes.txt"})
    Program.Write(std::string("project/") + patch, "");
  const std::string id = Start("RemoveOnFinish=1\nProjectRoot=" + project + "\nLastFile=" + stays +
                               "\n[Position]\nLeft=20\nTop=30\n");
  ASSERT_FALSE(id.empty()) << Said();
  const std::vector<uint8_t> stayed{0xC1, 7};
  ASSERT_EQ(Reader.CollectBytes(1, true), std::vector<std::vector<uint8_t>>{stayed}) << Said();
  HideSlideWindows();

  // "&Load ..." by its accelerator; Qt's own file dialog takes the typed path.
  Display.XDoTool({"windowfocus", "--sync", id});
  Display.XDoTool({"key", "--window", id, "alt+l"});
  const std::string dialog = WaitForTitle("^Open");
  ASSERT_FALSE(dialog.empty()) << Said();
  Display.XDoTool({"windowfocus", "--sync", dialog});
  Display.XDoTool({"type", "--delay", "20", goes});
  // A completion list shown over the name field may take the first Return.
  for (int i = 0; i < 10 && Shown(dialog); ++i) {
    Display.XDoTool({"key", "Return"});
    for (int j = 0; j < 20 && Shown(dialog); ++j) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(Shown(dialog));
  // Auto play restarts the player with both loaded.
  std::vector<std::vector<uint8_t>> played{stayed, {0x90, 60, 100}, {0x80, 60, 0}, stayed};
  ASSERT_EQ(Reader.CollectBytes(4, true), played) << Said();
  Display.XDoTool({"windowfocus", "--sync", id});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // lets the window repaint for a person
  Shot("window-main-after-finish.png");

  // "&Reset": the finished Tambrel's note would come first if it were still loaded.
  Display.XDoTool({"key", "--window", id, "alt+r"});
  played.push_back(stayed);
  EXPECT_EQ(Reader.CollectBytes(5, true), played) << Said();

  // "&Debug" then "&Utils": no button there claims the U.
  Display.XDoTool({"key", "--window", id, "alt+d"});
  Display.XDoTool({"key", "--window", id, "alt+u"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Shot("window-utils.png");

  const std::string said = Exit(id);
  EXPECT_EQ(Reader.CollectBytes(5, true), played) << said;
  // As the dialog gives the path: normalised.
  ExpectSettingsHave({"LastFile=" + fs::path(goes).lexically_normal().string() + "\n", "RemoveOnFinish=1\n"});
}

}  // namespace
}  // namespace tambrel
