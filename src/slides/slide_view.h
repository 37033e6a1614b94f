#pragma once
// What the slide controller needs of its window and the window's transition control. The window
// implements it on Qt; tests implement it with a recording fake.

#include <cstdint>
#include <string>

#include "slides/slide_commands.h"

namespace tambrel {

class TSlideView {
 public:
  virtual ~TSlideView() = default;

  // A transition setting of the control: AutoSize, Center, Delay, Manual, Reverse, Step, Stretch,
  // StretchFine, Style or Progress (booleans as 0 or 1).
  virtual void ApplySetting(TSlideCommandCode setting, uint16_t value) = 0;

  virtual bool TransitionBusy() const = 0;
  // Ends a running transition; returns with the control idle (its completion reports it unfinished).
  virtual void StopTransition() = 0;
  // Reads the picture file for the next transition. Returns the error text (naming the file and the
  // reader's reason), or empty when the picture is ready.
  virtual std::string LoadPicture(const std::string& path) = 0;
  virtual void ExecuteTransition() = 0;

  virtual void ShowWindow(bool shown) = 0;
  virtual void SetFullScreen(bool on) = 0;
  virtual void SetCursorShown(bool shown) = 0;
  // Both return at once; the text is shown later, without a nested event loop.
  virtual void ShowWarning(const std::string& text) = 0;
  virtual void ShowError(const std::string& text) = 0;
  // Ends the program through the toolkit's quit request.
  virtual void QuitProgram() = 0;
};

}  // namespace tambrel
