#include "slides/slide_controller.h"

#include <algorithm>
#include <random>
#include <utility>

#include "slides/picture_list.h"
#include "support/app_paths.h"

namespace tambrel {

namespace {

TSlideController::Random SystemRandom() {
  auto engine = std::make_shared<std::mt19937>(std::random_device{}());
  return [engine](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(*engine); };
}

// The state field a transition setting lives in, as a value (booleans as 0 or 1).
uint16_t SettingValue(const TSlideState& slide, TSlideCommandCode code) {
  switch (code) {
    case TSlideCommandCode::AutoSize:
      return slide.AutoSize;
    case TSlideCommandCode::Center:
      return slide.Center;
    case TSlideCommandCode::Delay:
      return slide.Delay;
    case TSlideCommandCode::Manual:
      return slide.Manual;
    case TSlideCommandCode::Reverse:
      return slide.Reverse;
    case TSlideCommandCode::Step:
      return slide.Step;
    case TSlideCommandCode::Stretch:
      return slide.Stretch;
    case TSlideCommandCode::StretchFine:
      return slide.StretchFine;
    case TSlideCommandCode::Style:
      return slide.Style;
    default:
      return slide.Progress;
  }
}

void StoreSetting(TSlideState& slide, TSlideCommandCode code, uint16_t value) {
  switch (code) {
    case TSlideCommandCode::AutoSize:
      slide.AutoSize = value != 0;
      break;
    case TSlideCommandCode::Center:
      slide.Center = value != 0;
      break;
    case TSlideCommandCode::Delay:
      slide.Delay = value;
      break;
    case TSlideCommandCode::Manual:
      slide.Manual = value != 0;
      break;
    case TSlideCommandCode::Reverse:
      slide.Reverse = value != 0;
      break;
    case TSlideCommandCode::Step:
      slide.Step = value;
      break;
    case TSlideCommandCode::Stretch:
      slide.Stretch = value != 0;
      break;
    case TSlideCommandCode::StretchFine:
      slide.StretchFine = value != 0;
      break;
    case TSlideCommandCode::Style:
      slide.Style = static_cast<uint8_t>(value);
      break;
    default:
      slide.Progress = static_cast<uint8_t>(value);
      break;
  }
}

bool IsFlag(TSlideCommandCode code) {
  return code != TSlideCommandCode::Delay && code != TSlideCommandCode::Step &&
         code != TSlideCommandCode::Style && code != TSlideCommandCode::Progress;
}

}  // namespace

TSlideController::TSlideController(TSlideView& view, std::shared_ptr<TSlideCommandQueue> queue,
                                   std::vector<std::string> extensions, Random random)
    : View(view),
      Queue(std::move(queue)),
      Extensions(std::move(extensions)),
      Draw(random ? std::move(random) : SystemRandom()) {}

void TSlideController::Create() {
  Slide.CursorShown = true;
  SetFullScreen(true);
  SetFullScreen(false);
}

void TSlideController::SetPictureRoot(const std::string& dir) {
  // No picture root chosen: a program that shows no slides starts without a warning.
  if (dir.empty()) return;
  std::vector<std::string> names = ListPictureFiles(dir, Extensions);
  if (names.empty()) {
    View.ShowWarning(dir + "\n\rdoes not contain any supported image file");
    return;
  }
  Pictures = std::move(names);
  Dir = WithTrailingSlash(dir);
}

void TSlideController::Apply(const TSlideCommand& command) {
  const uint16_t value = std::min(command.Value, SlideArgumentOf(command.Code).Bound);
  switch (command.Code) {
    case TSlideCommandCode::ShowPicture:
      ShowPicture(value);
      break;
    case TSlideCommandCode::ShowWindow:
      ShowWindow(value != 0);
      break;
    case TSlideCommandCode::FullScreen:
      SetFullScreen(value != 0);
      break;
    case TSlideCommandCode::AdvanceInOrder:
      Slide.AdvanceInOrder = value != 0;
      break;
    case TSlideCommandCode::AdvanceAtRandom:
      Slide.AdvanceAtRandom = value != 0;
      break;
    default:
      if (command.Code >= TSlideCommandCode::AutoSize && command.Code <= TSlideCommandCode::Progress) {
        ApplySetting(command.Code, value);
      }
      break;
  }
}

void TSlideController::ApplySetting(TSlideCommandCode code, uint16_t value) {
  const uint16_t stored = IsFlag(code) ? static_cast<uint16_t>(value != 0) : value;
  // A repeated progress is applied all the same: a script that sends 100 for every picture must
  // finish each of them.
  if (code != TSlideCommandCode::Progress && stored == SettingValue(Slide, code)) return;
  StoreSetting(Slide, code, stored);
  View.ApplySetting(code, stored);
}

void TSlideController::DrainQueue() {
  for (const TSlideCommand& command : Queue->TakeAll()) Apply(command);
}

void TSlideController::ShowPicture(uint16_t n) {
  if (Dir.empty()) return;
  const auto last = static_cast<uint16_t>(std::min<size_t>(Pictures.size() - 1, 0xFFFF));
  Slide.Current = std::min(n, last);
  // Stopping is immediate; its completion reports the transition unfinished, so it does not advance.
  if (View.TransitionBusy()) View.StopTransition();
  const std::string error = View.LoadPicture(Dir + Pictures[Slide.Current]);
  if (!error.empty()) {
    View.ShowError(error);
    return;
  }
  View.ExecuteTransition();
}

void TSlideController::ShowWindow(bool shown) {
  Slide.SlideVisible = shown;
  View.ShowWindow(shown);
  SetCursorShown(shown ? !Slide.FullScreen : true);
}

void TSlideController::SetFullScreen(bool on) {
  Slide.FullScreen = on;
  View.SetFullScreen(on);
  if (!on) {
    SetCursorShown(true);
  } else if (Slide.SlideVisible) {
    SetCursorShown(false);
  }
}

void TSlideController::SetCursorShown(bool shown) {
  if (shown == Slide.CursorShown) return;
  Slide.CursorShown = shown;
  View.SetCursorShown(shown);
}

void TSlideController::TransitionComplete(bool finished) {
  if (!finished || Pictures.empty()) return;
  if (!Slide.AdvanceInOrder && !Slide.AdvanceAtRandom) return;
  const auto count = static_cast<uint32_t>(std::min<size_t>(Pictures.size(), 0x10000));
  uint32_t next = 0;
  if (Slide.AdvanceInOrder) {
    next = Slide.Current + 1u < count ? Slide.Current + 1u : 0u;
  } else {
    if (count < 2) return;  // no other picture to go to
    // One draw among the other pictures: skip over the current one.
    next = Draw(count - 1);
    if (next >= Slide.Current) ++next;
  }
  Queue->PostBytes(ShowPictureBytes(static_cast<uint16_t>(next)));
}

void TSlideController::KeyDown(TSlideKey key) {
  switch (key) {
    case TSlideKey::Enter:
    case TSlideKey::Space:
      SetFullScreen(!Slide.FullScreen);
      break;
    case TSlideKey::Escape:
      ShowWindow(!Slide.SlideVisible);
      break;
    case TSlideKey::AltX:
      View.QuitProgram();
      break;
  }
}

void TSlideController::WindowClosed() {
  if (Slide.FullScreen) SetCursorShown(true);
  if (View.TransitionBusy()) View.StopTransition();
  Slide.SlideVisible = false;
}

void TSlideController::Destroy() {
  SetCursorShown(true);
}

}  // namespace tambrel
