#pragma once
// What the main window's controller needs of the toolkit besides its controls: timers, the dialogs,
// the poster to the window thread and the screens. The Qt window provides them; tests use fakes.

#include <cstdint>
#include <string>

namespace tambrel {

// Private messages of the main window, kept by their numbers.
constexpr int MsgTrace = 1024;     // drain the trace queue
constexpr int MsgFinished = 1025;  // a Tambrel finished; the parameter is its serial number
constexpr int MsgLight = 1026;     // light the indicators the player's thread asked for

struct TPostedMessage {
  int Message = 0;
  uint64_t Param = 0;
};

// Hands a message to the window thread, which passes it to TTambrelController::Dispatch. Callable
// from any thread; never waits for the window thread.
class TWindowPoster {
 public:
  virtual ~TWindowPoster() = default;
  virtual void Post(const TPostedMessage& message) = 0;
};

// The window's timers. A timer fires TTambrelController::TimerFired on the window thread every
// interval while it runs; the handlers stop the one-shot ones.
enum class TTimerId { Led1, Led2, Led3, Led4, Time, AutoReload, Ports };
constexpr int TimerCount = 7;

class TWindowTimers {
 public:
  virtual ~TWindowTimers() = default;
  virtual void Start(TTimerId timer, int intervalMs) = 0;
  virtual void Stop(TTimerId timer) = 0;
  virtual bool Running(TTimerId timer) const = 0;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TRect&) const = default;
};

// The screens' available areas.
class TScreens {
 public:
  virtual ~TScreens() = default;
  // The area of the screen that holds the point, or of the primary screen when none does.
  virtual TRect ScreenAt(int32_t x, int32_t y) const = 0;
};

// The window's file dialogs, each with the fixed options it is run with.
enum class TFileDialog {
  OpenTambrel,    // "Tambrels (*.tmb)" and any file; the file must exist (load and edit share it)
  SaveTambrel,    // the same filters; asks before overwriting
  SavePatchList,  // "patch lists (*.pchlist)" and any file; asks before overwriting
};

// What a file dialog keeps between its runs.
struct TFileDialogState {
  std::string InitialDir;  // with its trailing '/'; empty: none yet
  std::string FileName;    // the chosen file's path, or a name preset for the next run; empty: none yet
};

// Modal dialogs.
class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // The platform's input dialog; false when cancelled.
  virtual bool InputQuery(const std::string& title, const std::string& prompt, std::string& answer) = 0;
  // Runs a file dialog from state; when confirmed, state.FileName is the chosen path.
  virtual bool RunFileDialog(TFileDialog dialog, TFileDialogState& state) = 0;
  // A directory picker starting at state.InitialDir (or the program's directory when that is empty);
  // when confirmed, state.FileName is the chosen directory.
  virtual bool ChooseDirectory(const std::string& title, TFileDialogState& state) = 0;
  // A question answered yes or no; true for yes.
  virtual bool Confirm(const std::string& question) = 0;
};

}  // namespace tambrel
