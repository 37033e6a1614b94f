#pragma once
// A slide view that records every call as a line of text, for the controller's tests and fuzz target.

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "slides/slide_view.h"
#include "support/text_format.h"

namespace tambrel {

class TRecordingSlideView : public TSlideView {
 public:
  void ApplySetting(TSlideCommandCode setting, uint16_t value) override {
    Calls.push_back(StrFormat("set %d=%d", static_cast<int>(setting), value));
  }
  bool TransitionBusy() const override { return Busy; }
  void StopTransition() override {
    Calls.push_back("stop");
    Busy = false;
  }
  std::string LoadPicture(const std::string& path) override {
    Calls.push_back("load " + path);
    return Unreadable.count(path) != 0 ? "cannot read " + path : std::string();
  }
  void ExecuteTransition() override {
    Calls.push_back("execute");
    Busy = true;
  }
  void ShowWindow(bool shown) override { Calls.push_back(StrFormat("window %d", shown)); }
  void SetFullScreen(bool on) override { Calls.push_back(StrFormat("full %d", on)); }
  void SetCursorShown(bool shown) override { Calls.push_back(StrFormat("cursor %d", shown)); }
  void ShowWarning(const std::string& text) override { Calls.push_back("warning " + text); }
  void ShowError(const std::string& text) override { Calls.push_back("error " + text); }
  void QuitProgram() override { Calls.push_back("quit"); }

  std::vector<std::string> Take() { return std::exchange(Calls, {}); }

  std::vector<std::string> Calls;
  std::set<std::string> Unreadable;
  bool Busy = false;
};

}  // namespace tambrel
