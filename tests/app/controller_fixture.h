#pragma once
// The window's controller without a window: fakes of the view, the timers, the dialogs and the screens,
// a poster pumped by hand, recording MIDI ports, and the real front end and player on the simulated
// play clock. Scripts and the settings file live in a folder of the test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/main_view.h"
#include "app/output_routing.h"
#include "app/script_front_end.h"
#include "app/tambrel_controller.h"
#include "player/play_clock.h"
#include "player/player.h"
#include "temp_folder.h"

namespace tambrel {

class TFakeView : public TMainView {
 public:
  struct TToggleState {
    bool Down = false;
    std::string Caption;
  };
  void ShowCaption(const std::string& text) override { Caption = text; }
  void ShowToggle(TToggle toggle, bool down, const std::string& caption) override {
    Toggles[toggle] = {down, caption};
  }
  void ShowCheck(TCheck check, bool checked) override {
    Checks[check] = checked;
    ++CheckCalls;
  }
  void ShowEditText(TEditField field, const std::string& text) override { Edits[field] = text; }
  void ShowDeviceList(int n, const std::vector<std::string>& entries) override { DeviceLists[n] = entries; }
  void ShowDeviceSelection(int n, const std::string& name) override { Selections[n] = name; }
  void ShowHandlesDevice(int n, int32_t value) override { Handles[n] = value; }
  void ShowClock(const std::string& text) override { Clock = text; }
  void ShowIndicator(int n, bool active) override { Leds[n] = active; }
  void ShowLoadedList(const std::vector<std::string>& names) override { Loaded = names; }
  std::vector<int> SelectedLoadedRows() const override { return Selected; }
  void SetCommandEnabled(TCommand command, bool enabled) override { Enabled[command] = enabled; }
  TTab ActiveTab() const override { return Tab; }
  void SetActiveTab(TTab tab) override { Tab = tab; }
  TRect WindowBounds() const override { return Bounds; }
  void SetWindowBounds(const TRect& bounds) override { Bounds = bounds; }
  void SetBusyPointer(bool busy) override { BusyChanges.push_back(busy); }
  void CloseWindow() override {
    ++CloseRequests;
    if (OnClose) OnClose();
  }
  void TerminalWriteLn(const std::string& text) override {
    Lines.push_back(text);
    if (OnLine) OnLine(text);
  }
  void TerminalClear() override { Lines.clear(); }
  void ShowDeviceError(const std::string& text) override { DeviceErrors.push_back(text); }
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  void ShowVersionValues(const std::array<std::string, 12>& values) override { Versions = values; }
  void ShowApplicationPath(const std::string& path) override { AppPath = path; }
  void ShowHelpText(THelpText which, const std::string& text) override { Help[which] = text; }
  void ScrollHelpToTop() override {}
  void ShowEditorText(const std::string& text) override {
    Editor = text;
    Modified = false;
  }
  std::string EditorText() const override { return Editor; }
  bool EditorModified() const override { return Modified; }
  void SetEditorModified(bool modified) override { Modified = modified; }
  void ShowPatchFiles(const std::vector<std::string>& names) override { PatchFiles = names; }
  void SetSlidePictureRoot(const std::string&) override {}
  void ShowSlideWindow() override { ++SlideShows; }
  void ToggleResourceWindow() override {}

  // What the controller last showed, by the calls above.
  std::string Caption, Clock, AppPath, Editor;
  std::vector<std::string> Loaded, Lines, DeviceErrors, Errors, PatchFiles;
  std::map<TToggle, TToggleState> Toggles;
  std::map<TCheck, bool> Checks;
  std::map<TEditField, std::string> Edits;
  std::map<int, std::vector<std::string>> DeviceLists;
  std::map<int, std::string> Selections;
  std::map<int, int32_t> Handles;
  std::map<int, bool> Leds;
  std::map<TCommand, bool> Enabled;
  std::map<THelpText, std::string> Help;
  std::array<std::string, 12> Versions;
  std::vector<int> Selected;  // the rows the user selected
  TTab Tab = TTab::Help;
  TRect Bounds;
  std::vector<bool> BusyChanges;
  bool Modified = false;
  int CheckCalls = 0, CloseRequests = 0, SlideShows = 0;
  std::function<void()> OnClose;
  std::function<void(const std::string&)> OnLine;
};

class TFakeTimers : public TWindowTimers {
 public:
  void Start(TTimerId timer, int intervalMs) override { Intervals[timer] = intervalMs; }
  void Stop(TTimerId timer) override { Intervals.erase(timer); }
  bool Running(TTimerId timer) const override { return Intervals.count(timer) != 0; }
  std::map<TTimerId, int> Intervals;
};

class TFakeDialogs : public TDialogs {
 public:
  bool InputQuery(const std::string& title, const std::string& prompt, std::string& answer) override {
    Asked.push_back(title + "|" + prompt + "|" + answer);
    if (Answer) answer = *Answer;
    return Answer.has_value();
  }
  bool RunFileDialog(TFileDialog dialog, TFileDialogState& state) override {
    FileRuns.push_back({dialog, state});
    if (FileAnswer) state.FileName = *FileAnswer;
    return FileAnswer.has_value();
  }
  bool ChooseDirectory(const std::string& title, TFileDialogState& state) override {
    Asked.push_back(title);
    return RunFileDialog(TFileDialog::OpenTambrel, state);
  }
  bool Confirm(const std::string& question) override {
    Asked.push_back(question);
    return ConfirmAnswer;
  }
  struct TFileRun {
    TFileDialog Dialog;
    TFileDialogState Before;  // the state the dialog was run from
  };
  std::optional<std::string> Answer;      // none: cancelled
  std::optional<std::string> FileAnswer;  // the file or directory chosen; none: cancelled
  bool ConfirmAnswer = false;
  std::vector<std::string> Asked;
  std::vector<TFileRun> FileRuns;
};

// Keeps what any thread posts until the test pumps it into the controller.
class TPumpedPoster : public TWindowPoster {
 public:
  void Post(const TPostedMessage& message) override {
    std::lock_guard<std::mutex> guard(Lock);
    Queue.push_back(message);
    ++Posted[message.Message];
  }
  void Pump(TTambrelController& controller) {
    std::unique_lock<std::mutex> guard(Lock);
    while (!Queue.empty()) {
      const TPostedMessage message = Queue.front();
      Queue.pop_front();
      guard.unlock();  // a dispatch may post again
      controller.Dispatch(message);
      guard.lock();
    }
  }
  int PostedCount(int message) {
    std::lock_guard<std::mutex> guard(Lock);
    return Posted[message];
  }

 private:
  std::mutex Lock;
  std::deque<TPostedMessage> Queue;  // guarded by Lock
  std::map<int, int> Posted;         // guarded by Lock
};

class TFakeScreens : public TScreens {
 public:
  TRect ScreenAt(int32_t x, int32_t y) const override {
    for (const TRect& area : Areas)
      if (x >= area.Left && x < area.Left + area.Width && y >= area.Top && y < area.Top + area.Height)
        return area;
    return Areas.front();
  }
  std::vector<TRect> Areas{{0, 0, 1920, 1080}};  // the first is the primary screen
};

// A MIDI port that records what it is asked to do and can be told to fail.
class TRecordingPort : public TOutputPort {
 public:
  void SetProductName(const std::string& name) override {
    if (FailSelect) throw std::runtime_error("select failed");
    Name = name;
  }
  bool Open() override {
    if (FailOpen) throw std::runtime_error("MIDI output Device '" + Name + "' not installed");
    IsOpen = true;
    ++Opens;
    return true;
  }
  bool Close() override {
    const bool was = std::exchange(IsOpen, false);
    ++Closes;
    if (FailClose) throw std::runtime_error("close failed");
    return was;
  }
  TSendOutcome PutLong(const uint8_t* data, uint16_t length) override {
    if (FailSend) return {SentAnyway, "send failed"};
    std::lock_guard<std::mutex> guard(Lock);
    Sent.emplace_back(data, data + length);
    for (size_t i = 0; i + 3 <= length; i += 3) {
      const auto note = std::make_pair(static_cast<uint8_t>(data[i] & 0x0F), data[i + 1]);
      std::erase(Held, note);
      if ((data[i] & 0xF0) == 0x90 && data[i + 2] != 0) Held.push_back(note);
    }
    return {true, {}};
  }
  // The note-offs of the notes this port switched on and not off (as the MIDI outputs track them).
  void ReleaseHeldNotes() override {
    std::lock_guard<std::mutex> guard(Lock);
    for (const auto& [channel, key] : Held) Sent.push_back({static_cast<uint8_t>(0x80 | channel), key, 0});
    Held.clear();
  }
  TPortReport Drain() override { return std::exchange(Report, TPortReport{}); }
  std::string Name;
  TPortReport Report;  // what the next Drain reports
  bool IsOpen = false, FailOpen = false, FailSelect = false, FailClose = false;
  bool FailSend = false, SentAnyway = false;  // a failed send that still sent part of the item
  int Opens = 0, Closes = 0;
  std::mutex Lock;
  std::vector<std::vector<uint8_t>> Sent;         // guarded by Lock
  std::vector<std::pair<uint8_t, uint8_t>> Held;  // guarded by Lock: status and key of the sounding notes
};

class ControllerTest : public ::testing::Test {
 protected:
  static constexpr int64_t Ms = 1000;  // the play clock counts microseconds

  ControllerTest() : Folder(Temp.Path() + "/") {
    Parts.View = &View;
    Parts.Timers = &Timers;
    Parts.Dialogs = &Dialogs;
    Parts.Poster = &Poster;
    Parts.Screens = &Screens;
    Parts.FrontEnd = &FrontEnd;
    for (size_t i = 0; i < Ports.size(); ++i) Parts.Ports[i] = &Ports[i];
    Parts.DeviceNames = [] { return std::vector<std::string>{"Tambrel", "Synth A", "Synth B"}; };
    Parts.NewPlayer = [this] {
      auto clock = std::make_unique<TSimulatedPlayClock>();
      Clock = clock.get();
      return std::make_unique<TPlayer>(std::move(clock));
    };
    Parts.Milliseconds = [this] {
      return CounterOffset + (Clock != nullptr ? static_cast<uint32_t>(Clock->NowUs() / Ms) : 0);
    };
    Parts.AppPath = Folder;
    Parts.IniFileName = Folder + "tambrel.INI";
    Parts.DumpFileName = Folder + "dump.txt";
  }

  // A controller on the folder's settings file, created (FormCreate) and shown when asked.
  void Create(bool show = false) {
    Controller = std::make_unique<TTambrelController>(Parts);
    Controller->FormCreate();
    StartLines = std::exchange(View.Lines, {});
    if (show) Controller->FormShow();
  }
  void Destroy() { Controller.reset(); }
  void Pump() { Poster.Pump(*Controller); }
  // Moves the play clock (and the millisecond counter) on, firing what falls due.
  void Advance(int64_t ms) { Clock->AdvanceBy(ms * Ms); }
  // A script file in the folder; returns its path.
  std::string Script(const std::string& name, const std::string& text) { return Temp.Write(name, text); }
  void WriteSettingsFile(const std::string& text) { Temp.Write(Parts.IniFileName, text); }
  std::string SettingsText() const { return Temp.Read(Parts.IniFileName); }
  bool HasLine(const std::string& line) const { return std::ranges::count(View.Lines, line) != 0; }

  TTempFolder Temp;
  std::string Folder;  // the temporary folder, with its '/'
  TFakeView View;
  TFakeTimers Timers;
  TFakeDialogs Dialogs;
  TPumpedPoster Poster;
  TFakeScreens Screens;
  TScriptFrontEnd FrontEnd;
  std::array<TRecordingPort, 4> Ports;
  TControllerParts Parts;
  TSimulatedPlayClock* Clock = nullptr;
  uint32_t CounterOffset = 0;           // added to the play clock's milliseconds to give the counter
  std::vector<std::string> StartLines;  // what FormCreate wrote into the message area
  std::unique_ptr<TTambrelController> Controller;  // last, so that it goes first
};

}  // namespace tambrel
