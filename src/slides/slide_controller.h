#pragma once
// The slide window's state and the effect of every slide command, key and window event, on the window
// thread. Commands arrive through the command queue; the controller drives the window through its view.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "slides/slide_command_queue.h"
#include "slides/slide_commands.h"
#include "slides/slide_view.h"

namespace tambrel {

struct TSlideState {
  bool CursorShown = true;
  bool AutoSize = false, Center = true, Manual = false, Reverse = false, Stretch = false, StretchFine = true;
  uint16_t Delay = 100;
  uint16_t Step = 1;
  uint8_t Style = 0;
  uint8_t Progress = 0;
  uint16_t Current = 0;
  bool SlideVisible = false;
  bool FullScreen = false;
  bool AdvanceInOrder = false;
  bool AdvanceAtRandom = false;
};

enum class TSlideKey { Enter, Space, Escape, AltX };

class TSlideController {
 public:
  // random(n) draws a number in [0, n); empty takes a generator seeded from the system.
  using Random = std::function<uint32_t(uint32_t n)>;

  TSlideController(TSlideView& view, std::shared_ptr<TSlideCommandQueue> queue,
                   std::vector<std::string> extensions, Random random = {});

  // The window was created: pointer shown, windowed mode forced.
  void Create();
  // Takes the picture list of dir once; warns when it holds no picture and then keeps the old list.
  void SetPictureRoot(const std::string& dir);

  void Apply(const TSlideCommand& command);
  // Applies every command posted to the queue so far.
  void DrainQueue();

  // A transition ended; only one that ran to its end advances the show.
  void TransitionComplete(bool finished);
  void KeyDown(TSlideKey key);
  // The user closed the window (it is hidden, not destroyed).
  void WindowClosed();
  void Destroy();

  const TSlideState& State() const { return Slide; }
  const std::vector<std::string>& PictureList() const { return Pictures; }
  const std::string& PictureDir() const { return Dir; }

 private:
  void ApplySetting(TSlideCommandCode code, uint16_t value);
  void ShowPicture(uint16_t n);
  void ShowWindow(bool shown);
  void SetFullScreen(bool on);
  void SetCursorShown(bool shown);

  TSlideView& View;
  std::shared_ptr<TSlideCommandQueue> Queue;
  std::vector<std::string> Extensions;
  Random Draw;
  TSlideState Slide;
  std::vector<std::string> Pictures;
  std::string Dir;
};

}  // namespace tambrel
