#pragma once
// The main window's controls as the controller sees them: each setter of the controller brings one
// control into line through these calls, and the controller reads back what only the window knows
// (the active tab, the window's bounds, the selected rows). The Qt window implements it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/window_services.h"

namespace tambrel {

enum class TTab { Main, Utils, Settings, Debug, Help };

// The toggles (speed buttons that stay down).
enum class TToggle {
  StartStop,
  DoRepeat,
  MidiActive1,
  MidiActive2,
  MidiActive3,
  MidiActive4,
  SlidesActive,
  TracePlayer
};

enum class TCheck {
  RemoveOnFinish,
  RemoveOldOnLoad,
  AutoEdit,
  AutoPlay,
  AutoReload,
  DebugParser,
  DebugCompiler
};

enum class TEditField { ProjectRoot, PictureRoot };

// The Help tab's four texts.
enum class THelpText { QuickStart, Syntax, More, Credits };

// Commands refused while a compile lets the window handle its events.
enum class TCommand { Load, Unload, UnloadAll, Edit, Save, CheckSyntax };

class TMainView {
 public:
  virtual ~TMainView() = default;

  // The window's caption and the application's title.
  virtual void ShowCaption(const std::string& text) = 0;
  virtual void ShowToggle(TToggle toggle, bool down, const std::string& caption) = 0;
  virtual void ShowCheck(TCheck check, bool checked) = 0;
  virtual void ShowEditText(TEditField field, const std::string& text) = 0;
  // n = 1..4: the output's device list; the selection is the entry equal to name, none for "".
  virtual void ShowDeviceList(int n, const std::vector<std::string>& entries) = 0;
  virtual void ShowDeviceSelection(int n, const std::string& name) = 0;
  // n = 1..4 for the outputs, 5 for the slide device.
  virtual void ShowHandlesDevice(int n, int32_t value) = 0;
  virtual void ShowClock(const std::string& text) = 0;
  virtual void ShowIndicator(int n, bool active) = 0;
  virtual void ShowLoadedList(const std::vector<std::string>& names) = 0;
  virtual std::vector<int> SelectedLoadedRows() const = 0;
  virtual void SetCommandEnabled(TCommand command, bool enabled) = 0;

  virtual TTab ActiveTab() const = 0;
  virtual void SetActiveTab(TTab tab) = 0;
  virtual TRect WindowBounds() const = 0;
  virtual void SetWindowBounds(const TRect& bounds) = 0;
  virtual void SetBusyPointer(bool busy) = 0;
  // Ends the window (the controller has run its closing steps).
  virtual void CloseWindow() = 0;

  // The message area (the Debug tab's terminal).
  virtual void TerminalWriteLn(const std::string& text) = 0;
  virtual void TerminalClear() = 0;

  // A device's error text in a message box.
  virtual void ShowDeviceError(const std::string& text) = 0;
  // The general error display.
  virtual void ShowError(const std::string& text) = 0;

  // The Help tab.
  virtual void ShowVersionValues(const std::array<std::string, 12>& values) = 0;
  virtual void ShowApplicationPath(const std::string& path) = 0;
  virtual void ShowHelpText(THelpText which, const std::string& text) = 0;
  virtual void ScrollHelpToTop() = 0;

  // The editor of the Main tab, in UTF-8 with '\n' between lines, given back exactly as shown (a
  // no-break space stays one). Showing a text clears the modified state.
  virtual void ShowEditorText(const std::string& text) = 0;
  virtual std::string EditorText() const = 0;
  // Whether the user changed the text since it was shown or last saved.
  virtual bool EditorModified() const = 0;
  virtual void SetEditorModified(bool modified) = 0;

  // The Utils tab's list of the project's patch files.
  virtual void ShowPatchFiles(const std::vector<std::string>& names) = 0;

  // The other windows. The slide window takes its picture root once, when the main window is shown.
  virtual void SetSlidePictureRoot(const std::string& dir) = 0;
  virtual void ShowSlideWindow() = 0;
  virtual void ToggleResourceWindow() = 0;
};

}  // namespace tambrel
