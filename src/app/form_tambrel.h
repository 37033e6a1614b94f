#pragma once
// TFormTambrel: the main window on Qt. It shows the controller's state (TMainView), owns the timers,
// runs the dialogs, posts to its own thread through the event loop, and forwards every control event
// to the controller. An error that escapes a command is shown by the general error display.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/main_view.h"
#include "app/tambrel_controller.h"
#include "app/window_services.h"

class QAbstractButton;
class QKeyEvent;

namespace Ui {
class FormTambrel;
}

namespace tambrel {

class TVTerm;
class TFormSlide;

// What the window needs besides the toolkit: the controller's parts that are not the window's own
// (front end, MIDI ports and their list, the player, paths), and the other windows, which outlive it.
struct TFormTambrelParts {
  TControllerParts
      Controller;  // View, Timers, Dialogs, Poster, Screens, Milliseconds, ProcessEvents: set here
  QWidget* ResourceWindow = nullptr;
  // The slide route's bytes go to its entry; without one they are dropped.
  TFormSlide* SlideWindow = nullptr;
};

class TFormTambrel : public QWidget,
                     private TMainView,
                     private TWindowTimers,
                     private TDialogs,
                     private TWindowPoster,
                     private TScreens {
  Q_OBJECT

 public:
  // Runs the controller's FormCreate.
  explicit TFormTambrel(const TFormTambrelParts& parts, QWidget* parent = nullptr);
  ~TFormTambrel() override;

  TTambrelController& Controller() { return *TheController; }
  TVTerm* Terminal() const;
  // Runs a command; an error it throws goes to the general error display.
  void Forward(const std::function<void()>& command);
  // The dialog used by the goto command (tests replace it).
  void SetInputQuery(std::function<bool(const std::string&, const std::string&, std::string&)> query);
  // Where errors are shown (tests replace the message box).
  void SetErrorDisplay(std::function<void(const std::string& text, bool device)> display);
  // The file dialogs, the directory picker and the yes/no question (tests replace them; a picker
  // gets an empty title and answers into state).
  using TFileDialogRunner = std::function<bool(TFileDialog, TFileDialogState&)>;
  void SetFileDialogs(TFileDialogRunner files, TFileDialogRunner directories);
  void SetConfirm(std::function<bool(const std::string&)> confirm);

 signals:
  // The window has closed after its closing steps; the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // TMainView
  void ShowCaption(const std::string& text) override;
  void ShowToggle(TToggle toggle, bool down, const std::string& caption) override;
  void ShowCheck(TCheck check, bool checked) override;
  void ShowEditText(TEditField field, const std::string& text) override;
  void ShowDeviceList(int n, const std::vector<std::string>& entries) override;
  void ShowDeviceSelection(int n, const std::string& name) override;
  void ShowHandlesDevice(int n, int32_t value) override;
  void ShowClock(const std::string& text) override;
  void ShowIndicator(int n, bool active) override;
  void ShowLoadedList(const std::vector<std::string>& names) override;
  std::vector<int> SelectedLoadedRows() const override;
  void SetCommandEnabled(TCommand command, bool enabled) override;
  TTab ActiveTab() const override;
  void SetActiveTab(TTab tab) override;
  TRect WindowBounds() const override;
  void SetWindowBounds(const TRect& bounds) override;
  void SetBusyPointer(bool busy) override;
  void CloseWindow() override;
  void TerminalWriteLn(const std::string& text) override;
  void TerminalClear() override;
  void ShowDeviceError(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowVersionValues(const std::array<std::string, 12>& values) override;
  void ShowApplicationPath(const std::string& path) override;
  void ShowHelpText(THelpText which, const std::string& text) override;
  void ScrollHelpToTop() override;
  void ShowEditorText(const std::string& text) override;
  std::string EditorText() const override;
  bool EditorModified() const override;
  void SetEditorModified(bool modified) override;
  void ShowPatchFiles(const std::vector<std::string>& names) override;
  void SetSlidePictureRoot(const std::string& dir) override;
  void ShowSlideWindow() override;
  void ToggleResourceWindow() override;
  // TWindowTimers
  void Start(TTimerId timer, int intervalMs) override;
  void Stop(TTimerId timer) override;
  bool Running(TTimerId timer) const override;
  // TDialogs
  bool InputQuery(const std::string& title, const std::string& prompt, std::string& answer) override;
  bool RunFileDialog(TFileDialog dialog, TFileDialogState& state) override;
  bool ChooseDirectory(const std::string& title, TFileDialogState& state) override;
  bool Confirm(const std::string& question) override;
  // TWindowPoster
  void Post(const TPostedMessage& message) override;
  // TScreens
  TRect ScreenAt(int32_t x, int32_t y) const override;

  // An Alt+key accelerator: a visible button's wins over a tab title's with the same key; true when
  // the event was taken.
  bool TakeAccelerator(QKeyEvent& event);
  void ConnectControls();
  void SetUpTerminal();
  QAbstractButton* ToggleButton(TToggle toggle) const;

  std::unique_ptr<Ui::FormTambrel> Form;
  TFormTambrelParts Parts;
  std::array<QTimer*, TimerCount> Timers{};
  std::function<bool(const std::string&, const std::string&, std::string&)> Query;
  std::function<void(const std::string&, bool)> ErrorDisplay;
  TFileDialogRunner FileDialogs;
  TFileDialogRunner DirectoryDialogs;
  std::function<bool(const std::string&)> ConfirmQuestion;
  int BusyDepth = 0;
  QPointer<QWidget> FocusOfDisabled;  // a command's button that had the focus when it was disabled
  QPointer<QWidget> FocusMovedTo;     // where Qt put that focus
  std::unique_ptr<TTambrelController> TheController;
};

}  // namespace tambrel
