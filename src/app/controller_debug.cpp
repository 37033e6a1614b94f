// The Debug tab (trace, dump, clear, memory window) and the Help tab.
#include <fstream>
#include <sstream>
#include <utility>

#include "app/tambrel_controller.h"
#include "player/player.h"
#include "support/start_target.h"
#include "support/version_info.h"

namespace tambrel {

void TTambrelController::PlayerTrace(const std::string& text) {
  // The terminal belongs to the window thread: a failed tick's report on the timer thread waits in the
  // trace queue.
  if (std::this_thread::get_id() != WindowThread) {
    FRouting.QueueTrace("PLAYER: " + text);
    return;
  }
  Sink.WriteMessageFmt("PLAYER: %s", text.c_str());
}

void TTambrelController::DumpPlayer() {
  if (FPlayer) FPlayer->Dump();
}

void TTambrelController::ClearDisplay() {
  View.TerminalClear();
}

void TTambrelController::ShowResources() {
  View.ToggleResourceWindow();
}

void TTambrelController::LoadHelpTexts() {
  std::array<std::string, VersionKeyCount> values;
  for (int i = 0; i < VersionKeyCount; ++i)
    values[static_cast<size_t>(i)] = VersionValue(static_cast<VersionKey>(i));
  View.ShowVersionValues(values);
  View.ShowApplicationPath(Parts.AppPath);
  static constexpr std::pair<THelpText, const char*> Files[] = {{THelpText::QuickStart, "QuickStart.txt"},
                                                                {THelpText::Syntax, "Syntax.txt"},
                                                                {THelpText::More, "More.txt"},
                                                                {THelpText::Credits, "Credits.txt"}};
  for (const auto& [which, name] : Files) {
    const std::string path = Parts.AppPath + name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
      View.ShowHelpText(which, "File \"" + path + "\" not found.");
      continue;
    }
    View.ShowHelpText(which, text.str());
  }
  View.ScrollHelpToTop();
}

void TTambrelController::OpenEmail() {
  StartTarget("mailto:" + VerEmail());
}

void TTambrelController::OpenWeb() {
  StartTarget("http://" + VerWeb());
}

}  // namespace tambrel
