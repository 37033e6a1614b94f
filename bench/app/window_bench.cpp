// The window program, offscreen: the time from exec to the first painted main window and to an idle
// event loop; then the window thread's heartbeat (a 10 ms timer) while a Tambrel of 1,000 items per
// second plays with trace on into the Debug tab's terminal.
//
//   QT_QPA_PLATFORM=offscreen tambrel_window_bench [seconds of play, default 5]

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/form_tambrel.h"
#include "app/window_program_parts.h"
#include "player/player.h"
#include "resmon/form_resource_stats.h"
#include "slides/form_slide.h"
#include "support/app_paths.h"

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

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
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
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tambrel-window-bench-" +
                             std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(folder);
  SetProgramPaths();
  QApplication app(argc, argv);

  TWindowProgramParts program(folder + "tambrel.INI", folder + "dump.txt");
  TFormTambrelParts& parts = program.Parts;
  // The other windows, as the program has them.
  TFormResourceStats resources;
  parts.ResourceWindow = &resources;
  TFormSlide slides;
  parts.SlideWindow = &slides;

  TPaintWatch paint;
  double idleMs = -1;
  std::vector<double> lateness;
  int32_t traced = 0;
  {
    TFormTambrel window(parts);
    window.installEventFilter(&paint);
    window.show();
    // The first zero timer after the first paint: the loop has nothing left to do.
    std::function<void()> waitIdle = [&] {
      if (paint.FirstPaintMs < 0) return QTimer::singleShot(0, waitIdle);
      idleMs = MsSinceExec();
      std::string text;
      for (int ms = 0; ms < seconds * 1000; ++ms) text += std::to_string(ms) + " out(1, $90, 60, 1);\n";
      std::ofstream(folder + "flood.tmb") << text;
      TTambrelController& c = window.Controller();
      c.LoadTambrel(folder + "flood.tmb");
      c.SetTraceMode(true);
      c.SetPlaying(true);
      auto* heartbeat = new QTimer(&window);
      heartbeat->setTimerType(Qt::PreciseTimer);
      auto last = std::chrono::steady_clock::now();
      QObject::connect(heartbeat, &QTimer::timeout, [&, last]() mutable {
        const auto now = std::chrono::steady_clock::now();
        lateness.push_back(std::chrono::duration<double, std::milli>(now - last).count() - 10.0);
        last = now;
      });
      heartbeat->start(10);
      QTimer::singleShot(seconds * 1000 + 500, [&] {
        traced = window.Controller().Player()->ItemCount();
        QCoreApplication::quit();
      });
    };
    QTimer::singleShot(0, waitIdle);
    QApplication::exec();
  }
  std::filesystem::remove_all(folder);
  std::printf("start-up: exec to first paint %.0f ms, to idle event loop %.0f ms (target < 500 ms)\n",
              paint.FirstPaintMs, idleMs);
  std::printf(
      "heartbeat (10 ms timer) while %d items at 1000/s play with trace on: %zu beats, lateness p50 "
      "%.2f ms, p99 %.2f ms, max %.2f ms (target p99 < 20 ms)\n",
      traced, lateness.size(), Percentile(lateness, 0.5), Percentile(lateness, 0.99),
      lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
  return 0;
}
