// The window's load command while a Tambrel plays, offscreen, with the program's player on the real
// clock: a Tambrel of 1,000 items per second plays to output 1 (a recording port), and after a stretch of
// play without a load a generated Tambrel of a million items is loaded through the controller's load
// command. Printed: the time the load took, the window thread's longest stall (a 10 ms heartbeat timer:
// the largest gap less 10 ms), and the lateness of the playing items due during the load against those
// due in the stretch without it.
//
// The loaded items lie an hour on and go to device 2, which no output handles: what is measured is what
// the load does to the items already playing, not the cost of more items to play. The loaded Tambrel is
// nested loops, or with "lines" one statement per item, which the parser then reads as well.
//
// Each run is a process of its own: a second load in the same process would reuse the memory the first
// one freed and cost far less. The medians of the runs are printed last.
//
//   QT_QPA_PLATFORM=offscreen tambrel_window_load_bench [runs, default 3] [items, default 1000000] [lines]

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/form_tambrel.h"
#include "delivery_lateness.h"
#include "in_child_process.h"
#include "player/player.h"
#include "support/app_paths.h"
#include "support/huge_page_heap.h"
#include "window_probes.h"

namespace tambrel {
namespace {

constexpr uint32_t PlayMs = 300000;  // the playing Tambrel's length: far beyond any load's
constexpr int SettleMs = 1000;       // play before the stretch without a load begins
constexpr int StretchMs = 5000;      // the stretch without a load
constexpr int AfterMs = 500;         // for the items due late in the load to arrive

struct TRunFigures {
  bool Done = false;
  double LoadSeconds = 0;
  int32_t ItemsAdded = 0;  // to the player by the load
  bench::Stats Without, During;
  size_t WithoutCount = 0, DuringCount = 0;
  double StallWithoutMs = 0, StallDuringMs = 0;
  bool PlayedThrough = false;  // the playing Tambrel still had items after the load
};

std::string GeneratedTambrel(uint32_t items, bool lines) {
  constexpr uint32_t hourMs = 3600000;
  std::string text = "// " + std::to_string(items) + " items an hour on, to device 2.\n";
  if (lines) {
    text.reserve(static_cast<size_t>(items) * 36);
    for (uint32_t i = 0; i < items; ++i)
      text += std::to_string(hourMs + i) + " out(2, $90, " + std::to_string(i % 128) + ", 100);\n";
    return text;
  }
  const uint32_t outer = std::max<uint32_t>(1, items / 1000);
  return text + "loop(k, 0, " + std::to_string(outer - 1) + ");\n(\n  loop(j, 0, 999);\n  (\n    " +
         std::to_string(hourMs) + " + k * 1000 + j out(2, $90, j mod 128, 100);\n  );\n);\n";
}

// In the folder of the scripts, which also takes the run's settings and dump files.
TRunFigures Run(int argc, char** argv, const std::string& folder) {
  TRunFigures f;
  SetProgramPaths();
  QApplication app(argc, argv);
  bench::TRecordedWindowParts parts(folder, PlayMs + 1000);
  bench::TRecordingPort& recorder = parts.Recorder();
  int64_t withoutFrom = 0, withoutTo = 0, loadFrom = 0, loadTo = 0;
  {
    TFormTambrel window(parts.Parts());
    TTambrelController& c = window.Controller();
    window.show();
    bench::THeartbeat* heartbeat = nullptr;
    std::vector<int64_t> beatsWithout, beatsDuring;
    // Each step arms the next, so that the stretches count from the moment play has begun.
    std::function<void()> afterLoad = [&] {
      uint32_t pending = 0;
      f.PlayedThrough = c.Player()->PendingTime(pending) && pending < PlayMs;
      QCoreApplication::quit();
    };
    std::function<void()> load = [&] {
      withoutTo = bench::NowNs();
      beatsWithout = heartbeat->Take();
      const int32_t before = c.Player()->ItemCount();
      loadFrom = bench::NowNs();
      c.LoadTambrel(folder + "big.tmb");
      loadTo = bench::NowNs();
      beatsDuring = heartbeat->Take();
      f.ItemsAdded = c.Player()->ItemCount() - before;
      QTimer::singleShot(AfterMs, afterLoad);
    };
    std::function<void()> settled = [&] {
      heartbeat->Take();
      withoutFrom = bench::NowNs();
      QTimer::singleShot(StretchMs, load);
    };
    QTimer::singleShot(0, [&] {
      c.LoadTambrel(folder + "play.tmb");
      c.SetOutputActive(1, true);
      c.ResetPlayer();  // the item at time 0 is then delivered as play starts, as the recorder takes it
      c.SetPlaying(true);
      heartbeat = new bench::THeartbeat(&window);
      QTimer::singleShot(SettleMs, settled);
    });
    QApplication::exec();
    f.StallWithoutMs = bench::Summarise(beatsWithout).maxUs / 1000;
    f.StallDuringMs = bench::Summarise(beatsDuring).maxUs / 1000;
  }
  const std::vector<int64_t> without = recorder.Lateness(withoutFrom, withoutTo);
  const std::vector<int64_t> during = recorder.Lateness(loadFrom, loadTo);
  f.Without = bench::Summarise(without);
  f.During = bench::Summarise(during);
  f.WithoutCount = without.size();
  f.DuringCount = during.size();
  f.LoadSeconds = static_cast<double>(loadTo - loadFrom) / 1e9;
  f.Done = true;
  return f;
}

double Ratio(double a, double b) {
  return a / std::max(b, 0.001);
}

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  using namespace tambrel;
  // The program runs on the huge-page heap; so is it measured.
  UseHugePageHeap(argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const auto items = static_cast<uint32_t>(argc > 2 ? std::max(1000L, std::atol(argv[2])) : 1000000L);
  const bool lines = argc > 3 && std::strcmp(argv[3], "lines") == 0;
  std::printf("heap: GLIBC_TUNABLES=%s\n", StartTunables().value_or("(unset)").c_str());
  std::printf("loading %u items (%s) while 1000 items/s play; lateness in us, stalls in ms\n", items,
              lines ? "one line each" : "nested loops");
  const std::string folder = std::filesystem::temp_directory_path().string() + "/tambrel-window-load-bench-" +
                             std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "play.tmb") << bench::StampedItemLoop(PlayMs);
  std::ofstream(folder + "big.tmb") << GeneratedTambrel(items, lines);
  // Written once for all runs, and out to the disk before the first, so that no run shares the machine
  // with the writing back of a script of tens of megabytes.
  ::sync();
  std::vector<double> load, stall, stallWithout, p99Without, p99During, maxDuring, ratio;
  for (int run = 1; run <= runs; ++run) {
    const TRunFigures f = bench::InChildProcess<TRunFigures>([&] { return Run(argc, argv, folder); });
    if (!f.Done) {
      std::printf("run %d: failed\n", run);
      continue;
    }
    std::printf(
        "run %d: load %.3f s (player +%d items); window thread longest stall %.1f ms (without a load %.1f)\n"
        "  lateness without a load (%zu items): p50 %7.1f  p99 %7.1f  max %7.1f\n"
        "  lateness during the load (%zu items): p50 %7.1f  p99 %7.1f  max %7.1f  p99 ratio %.2f%s\n",
        run, f.LoadSeconds, f.ItemsAdded, f.StallDuringMs, f.StallWithoutMs, f.WithoutCount,
        f.Without.medianUs, f.Without.p99Us, f.Without.maxUs, f.DuringCount, f.During.medianUs,
        f.During.p99Us, f.During.maxUs, Ratio(f.During.p99Us, f.Without.p99Us),
        f.PlayedThrough ? "" : "  (the playing Tambrel ended: figures void)");
    load.push_back(f.LoadSeconds);
    stall.push_back(f.StallDuringMs);
    stallWithout.push_back(f.StallWithoutMs);
    p99Without.push_back(f.Without.p99Us);
    p99During.push_back(f.During.p99Us);
    maxDuring.push_back(f.During.maxUs);
    ratio.push_back(Ratio(f.During.p99Us, f.Without.p99Us));
  }
  std::printf(
      "median of %zu runs: load %.3f s; longest stall %.1f ms (without a load %.1f); lateness p99 without a "
      "load %.1f us, during %.1f us (max %.1f us); p99 ratio %.2f (target <= 1.5)\n",
      load.size(), bench::Median(load), bench::Median(stall), bench::Median(stallWithout),
      bench::Median(p99Without), bench::Median(p99During), bench::Median(maxDuring), bench::Median(ratio));
  std::filesystem::remove_all(folder);
  return 0;
}
