// Fuzz target for the slide command parser and controller: the input is a mix of slide command bytes,
// posted as a data item would be, and window events (completions, keys, closing).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "../slides/recording_slide_view.h"
#include "slides/slide_controller.h"
#include "temp_folder.h"

namespace {

using namespace tambrel;

// A picture root of four pictures, made once per run and removed at its end.
const std::string& PictureRoot() {
  static const TTempFolder root;
  static const std::string dir = [] {
    for (const char* name : {"a.jpg", "b.png", "c.bmp", "d.gif"}) root.Write(name, "x");
    return root.Path();
  }();
  return dir;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TRecordingSlideView view;
  auto queue = std::make_shared<TSlideCommandQueue>();
  uint32_t seed = 1;
  TSlideController controller(view, queue, {"jpg", "png", "bmp", "gif"}, [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  });
  controller.Create();
  if (size > 0 && data[0] & 1) controller.SetPictureRoot(PictureRoot());
  size_t p = size > 0 ? 1 : 0;
  while (p < size) {
    const uint8_t op = data[p++];
    if (op & 0x80) {
      switch (op & 7) {
        case 0:
          view.Busy = false;
          controller.TransitionComplete(true);
          break;
        case 1:
          view.Busy = false;
          controller.TransitionComplete(false);
          break;
        case 2:
          controller.KeyDown(static_cast<TSlideKey>(op >> 3 & 3));
          break;
        case 3:
          controller.WindowClosed();
          break;
        default:
          break;
      }
    } else {
      // The next op bytes are one data item for the slide device.
      const size_t length = std::min<size_t>(op, size - p);
      queue->PostBytes(std::span<const uint8_t>(data + p, length));
      p += length;
    }
    controller.DrainQueue();
    const TSlideState& state = controller.State();
    Check(state.Style <= 127 && state.Progress <= 100);
    Check(controller.PictureList().empty() || state.Current < controller.PictureList().size());
    view.Calls.clear();
  }
  controller.Destroy();
  return 0;
}
