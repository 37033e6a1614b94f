// Frame times of every transition style at 1920 x 1080: the mean and the maximum over the frames of a
// transition at Step 2 (50 frames from 2 to 100 percent), the five slowest styles, and how many styles
// stay within the 20 ms a frame may take for 50 frames per second.
//
//   tambrel_transition_bench [width height]

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "slides/frame_renderer.h"
#include "slides/test_pictures.h"
#include "slides/transition_styles.h"

namespace {

using namespace tambrel;
using Clock = std::chrono::steady_clock;

struct TStyleTime {
  int Style;
  double MeanMs, MaxMs;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QSize size(argc > 2 ? std::atoi(argv[1]) : 1920, argc > 2 ? std::atoi(argv[2]) : 1080);
  const QImage oldImage = OldTestPicture(size), newImage = NewTestPicture(size);
  QImage frame;
  RenderTransitionFrameInto(frame, oldImage, newImage, 1, 50, 2, false);  // allocates the frame once
  constexpr int Step = 2;
  std::vector<TStyleTime> times;
  for (int style = 0; style < TransitionStyleCount; ++style) {
    double total = 0, worst = 0;
    int frames = 0;
    for (int p = Step; p <= 100; p += Step) {
      const Clock::time_point start = Clock::now();
      RenderTransitionFrameInto(frame, oldImage, newImage, style, p, Step, false);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      total += ms;
      worst = std::max(worst, ms);
      ++frames;
    }
    times.push_back({style, total / frames, worst});
  }
  std::printf("Transition frames at %dx%d, %d frames per style (Step %d)\n", size.width(), size.height(),
              100 / Step, Step);
  std::printf("%4s  %-58s %9s %9s\n", "", "style", "mean ms", "max ms");
  for (const TStyleTime& t : times) {
    std::printf("%4d  %-58s %9.2f %9.2f\n", t.Style, TransitionStyleName(t.Style).c_str(), t.MeanMs, t.MaxMs);
  }
  std::vector<TStyleTime> slowest = times;
  std::sort(slowest.begin(), slowest.end(),
            [](const TStyleTime& a, const TStyleTime& b) { return a.MeanMs > b.MeanMs; });
  std::printf("\nSlowest five by mean:\n");
  for (size_t i = 0; i < 5 && i < slowest.size(); ++i) {
    std::printf("%4d  %-58s %9.2f %9.2f\n", slowest[i].Style, TransitionStyleName(slowest[i].Style).c_str(),
                slowest[i].MeanMs, slowest[i].MaxMs);
  }
  const auto within =
      std::count_if(times.begin(), times.end(), [](const TStyleTime& t) { return t.MeanMs <= 20; });
  const auto worstMax = std::max_element(
      times.begin(), times.end(), [](const TStyleTime& a, const TStyleTime& b) { return a.MaxMs < b.MaxMs; });
  std::printf(
      "\n%ld of %d styles at most 20 ms per frame on average; the longest single frame %.2f ms (style %d)\n",
      static_cast<long>(within), TransitionStyleCount, worstMax->MaxMs, worstMax->Style);
  return 0;
}
