// The window program, offscreen: the time from exec to the first painted main window and to an idle
// event loop; then, while a Tambrel of 1,000 items per second plays to output 1 with trace on into the
// Debug tab's terminal, the window thread's heartbeat (a 10 ms timer) and the items' delivery lateness,
// held against the player's own at the same rate without a window.
//
//   QT_QPA_PLATFORM=offscreen tambrel_window_bench [seconds of play, default 5]

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/form_tambrel.h"
#include "delivery_lateness.h"
#include "support/app_paths.h"
#include "support/huge_page_heap.h"
#include "window_probes.h"

namespace tambrel {
namespace {

// Milliseconds since the kernel started this process (clock-tick resolution).
double MsSinceExec() {
  std::ifstream in("/proc/self/stat");
  std::string stat;
  std::getline(in, stat);
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: the start time in clock ticks since boot
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  return nowMs - std::stod(field) * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

class TPaintWatch : public QObject {
 public:
  double FirstPaintMs = -1;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && FirstPaintMs < 0) FirstPaintMs = MsSinceExec();
    return false;
  }
};

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  using namespace tambrel;
  // The program runs on the huge-page heap, restarting itself first; so is it measured.
  UseHugePageHeap(argv);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tambrel-window-bench-" +
                             std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(folder);
  SetProgramPaths();
  QApplication app(argc, argv);

  const auto items = static_cast<uint32_t>(seconds) * 1000;
  bench::TRecordedWindowParts parts(folder, items + 1000);
  bench::TRecordingPort& recorder = parts.Recorder();

  TPaintWatch paint;
  double idleMs = -1;
  std::vector<int64_t> beats;
  {
    TFormTambrel window(parts.Parts());
    window.installEventFilter(&paint);
    window.show();
    // The first zero timer after the first paint: the loop has nothing left to do.
    std::function<void()> waitIdle = [&] {
      if (paint.FirstPaintMs < 0) return QTimer::singleShot(0, waitIdle);
      idleMs = MsSinceExec();
      std::string text;
      for (uint32_t ms = 0; ms < items; ++ms) text += bench::StampedItemLine(ms);
      std::ofstream(folder + "flood.tmb") << text;
      TTambrelController& c = window.Controller();
      c.LoadTambrel(folder + "flood.tmb");
      c.SetOutputActive(1, true);
      c.SetTraceMode(true);
      c.ResetPlayer();  // the item at time 0 is then delivered as play starts, as the recorder takes it
      c.SetPlaying(true);
      auto* heartbeat = new bench::THeartbeat(&window);
      QTimer::singleShot(seconds * 1000 + 500, [&, heartbeat] {
        beats = heartbeat->Take();
        QCoreApplication::quit();
      });
    };
    QTimer::singleShot(0, waitIdle);
    QApplication::exec();
  }
  std::filesystem::remove_all(folder);
  // The player's own figure at the same rate, once the window has gone.
  const bench::Stats alone = bench::Summarise(bench::PlayerDeliveries(bench::EveryMillisecond(items), 1));
  const bench::Stats heart = bench::Summarise(beats);
  const bench::Stats played = bench::Summarise(recorder.Lateness());
  std::printf("start-up: exec to first paint %.0f ms, to idle event loop %.0f ms (target < 500 ms)\n",
              paint.FirstPaintMs, idleMs);
  std::printf(
      "heartbeat (10 ms timer) while %zu of %u items at 1000/s play with trace on: %zu beats, lateness p50 "
      "%.2f ms, p99 %.2f ms, max %.2f ms (target p99 < 20 ms)\n",
      recorder.Received(), items, beats.size(), heart.medianUs / 1000, heart.p99Us / 1000,
      heart.maxUs / 1000);
  std::printf("delivery lateness us, window up, trace on: p50 %8.1f  p99 %8.1f  max %8.1f\n", played.medianUs,
              played.p99Us, played.maxUs);
  std::printf("delivery lateness us, player alone:        p50 %8.1f  p99 %8.1f  max %8.1f\n", alone.medianUs,
              alone.p99Us, alone.maxUs);
  std::printf("p99 ratio window/alone %.2f (target <= 1.5)\n", played.p99Us / std::max(alone.p99Us, 0.001));
  return 0;
}
