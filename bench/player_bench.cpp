// Figures of the timeline and player: delivery lateness on the real timer against the machine's raw
// wake-up latency (one device, and two devices at every time), the timer thread's wake-up lateness with
// and without a busy loop on every core, loading a million items, memory per loaded item, and TakeNext
// throughput.
//
//   tambrel_player_bench [timing items, default 2000] [timing: the timing figures alone]

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "delivery_lateness.h"
#include "player/player.h"
#include "support/huge_page_heap.h"

namespace tambrel {
namespace {

using Clock = std::chrono::steady_clock;
using bench::NowNs;
using bench::PlayerDeliveries;
using bench::Stats;
using bench::Summarise;
using bench::TDone;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<uint32_t> Spacings(size_t n) {
  std::mt19937 random(42);
  std::uniform_int_distribution<uint32_t> gap(1, 10);
  std::vector<uint32_t> times(n);
  uint32_t t = 0;
  for (size_t i = 0; i < n; ++i) {
    times[i] = t;
    t += gap(random);
  }
  return times;
}

// A plain wait-until-deadline loop on its own thread, with the same slack setting as the play timer.
std::vector<int64_t> RawWakeUps(const std::vector<uint32_t>& times) {
  std::vector<int64_t> lateness;
  std::thread worker([&] {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    const int64_t start = NowNs();
    for (uint32_t t : times) {
      const int64_t due = start + static_cast<int64_t>(t) * 1000000;
      const Clock::time_point deadline{std::chrono::nanoseconds(due)};
      while (Clock::now() < deadline) never.wait_until(lock, deadline);
      lateness.push_back(NowNs() - due);
    }
  });
  worker.join();
  return lateness;
}

void Timing(size_t n) {
  const std::vector<uint32_t> times = Spacings(n);
  std::printf("Timing: %zu times 1..10 ms apart (%.1f s of timeline)\n", n, times.back() / 1000.0);
  const Stats raw = Summarise(RawWakeUps(times));
  std::printf("  raw wait-until loop    lateness us: median %8.1f  p99 %8.1f  max %8.1f  last %8.1f\n",
              raw.medianUs, raw.p99Us, raw.maxUs, raw.lastUs);
  for (int32_t devices : {1, 2}) {
    const Stats play = Summarise(PlayerDeliveries(times, devices));
    std::printf("  player, %d device%s     lateness us: median %8.1f  p99 %8.1f  max %8.1f  last %8.1f\n",
                devices, devices == 1 ? " " : "s", play.medianUs, play.p99Us, play.maxUs, play.lastUs);
    std::printf(
        "    p99 ratio player/raw %.2f (target <= 1.5); last item %.1f us vs raw p99 %.1f us (target <=)\n",
        play.p99Us / std::max(raw.p99Us, 0.001), play.lastUs, raw.p99Us);
  }
}

// One thread per core spinning at normal priority for as long as this lives.
class TBusyLoad {
 public:
  TBusyLoad() {
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
      FThreads.emplace_back([this] {
        uint64_t spins = 0;
        while (!FStop.load(std::memory_order_relaxed)) ++spins;
        FSink += spins;
      });
  }
  ~TBusyLoad() {
    FStop = true;
    for (std::thread& thread : FThreads) thread.join();
  }
  size_t Threads() const { return FThreads.size(); }

 private:
  std::atomic<bool> FStop{false};
  std::atomic<uint64_t> FSink{0};
  std::vector<std::thread> FThreads;
};

// The play timer's own clock and thread, as the player has them: the handler re-arms for the next time.
std::vector<int64_t> TimerWakeUps(const std::vector<uint32_t>& times, std::string& scheduling) {
  std::vector<int64_t> lateness;
  lateness.reserve(times.size());
  TDone ended;
  TSteadyPlayClock clock;
  int64_t startUs = 0;
  size_t next = 0;
  clock.Start([&](uint64_t) {
    const int64_t dueUs = startUs + static_cast<int64_t>(times[next]) * 1000;
    lateness.push_back((clock.NowUs() - dueUs) * 1000);
    if (++next < times.size()) {
      clock.Arm(startUs + static_cast<int64_t>(times[next]) * 1000, next);
      return;
    }
    ended.Set();
  });
  scheduling = clock.Scheduling();
  startUs = clock.NowUs() + 1000;
  clock.Arm(startUs + static_cast<int64_t>(times[0]) * 1000, 0);
  ended.Wait();
  return lateness;
}

void Lateness(size_t n) {
  const std::vector<uint32_t> times = Spacings(n);
  std::string scheduling;
  const Stats quiet = Summarise(TimerWakeUps(times, scheduling));
  std::printf("Timer wake-up lateness: %zu wake-ups 1..10 ms apart, timer thread %s\n", n,
              scheduling.c_str());
  std::printf("  quiet machine          us: p50 %8.1f  p99 %8.1f  max %8.1f\n", quiet.medianUs, quiet.p99Us,
              quiet.maxUs);
  TBusyLoad load;
  const Stats busy = Summarise(TimerWakeUps(times, scheduling));
  std::printf(
      "  busy loop on %zu core%s  us: p50 %8.1f  p99 %8.1f  max %8.1f  (target p99 < 1000 where real-time)\n",
      load.Threads(), load.Threads() == 1 ? " " : "s", busy.medianUs, busy.p99Us, busy.maxUs);
  const Stats raw = Summarise(RawWakeUps(times));
  std::printf("  same load, plain thread us: p50 %8.1f  p99 %8.1f  max %8.1f  (normal scheduling)\n",
              raw.medianUs, raw.p99Us, raw.maxUs);
}

enum class Order { Ascending, Descending, Interleaved };

const char* Name(Order order) {
  switch (order) {
    case Order::Ascending:
      return "ascending";
    case Order::Descending:
      return "descending";
    case Order::Interleaved:
      return "interleaved";
  }
  return "";
}

void FillTambrel(TTimedBatch& batch, size_t n, Order order) {
  const uint8_t bytes[] = {0x90, 60, 100};
  const auto count = static_cast<uint32_t>(n);
  const uint32_t inner = 1000;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t t = i;
    if (order == Order::Descending) t = count - 1 - i;
    // Nested loops: each pass of the outer loop walks the whole timeline again.
    if (order == Order::Interleaved) t = (i % inner) * (count / inner) + i / inner;
    batch.Append(new TTimedData(t, bytes, 3, 1));
  }
}

void Loading(size_t n) {
  std::printf("Loading: AddItems of %zu data items\n", n);
  for (bool preloaded : {false, true}) {
    for (Order order : {Order::Ascending, Order::Descending, Order::Interleaved}) {
      TTimedBatch existing;
      TTimedBatch tambrel;
      TPlayer player;
      if (preloaded) {
        FillTambrel(existing, n, Order::Ascending);
        player.AddItems(&existing);
      }
      FillTambrel(tambrel, n, order);
      const auto start = Clock::now();
      player.AddItems(&tambrel);
      const double added = Seconds(start);
      const auto removeStart = Clock::now();
      player.RemoveItems(&tambrel);
      const double removed = Seconds(removeStart);
      std::printf(
          "  into %-9s %-11s %7.3f s  %11.0f items/s  longest lock hold %6lld us  (RemoveItems %.3f s)\n",
          preloaded ? "1,000,000" : "empty", Name(order), added, static_cast<double>(n) / added,
          static_cast<long long>(player.Batch().LongestBulkLockUs()), removed);
    }
  }
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

void Memory(size_t n) {
  const long before = ResidentBytes();
  {
    TTimedBatch tambrel;
    TPlayer player;
    FillTambrel(tambrel, n, Order::Interleaved);
    player.AddItems(&tambrel);
    const long after = ResidentBytes();
    std::printf(
        "Memory: %zu loaded 3-byte data items (Tambrel's batch + player's): %.1f resident bytes per item "
        "(target <= 96)\n",
        n, static_cast<double>(after - before) / static_cast<double>(n));
  }
}

void Taking(size_t n) {
  TTimedBatch batch;
  const uint8_t bytes[] = {0x90, 60, 100};
  // Runs of four items of one time and device, merged into one by TakeNext.
  for (size_t i = 0; i < n; ++i) batch.Append(new TTimedData(static_cast<uint32_t>(i / 4), bytes, 3, 1));
  const auto start = Clock::now();
  size_t taken = 0;
  while (batch.TakeNext()) ++taken;
  const double seconds = Seconds(start);
  std::printf(
      "TakeNext: %zu items in runs of 4 -> %zu merged items in %.3f s: %.0f batch items/s, %.0f takes/s\n", n,
      taken, seconds, static_cast<double>(n) / seconds, static_cast<double>(taken) / seconds);
}

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  // The programs run on the huge-page heap; so are they measured.
  tambrel::UseHugePageHeap(argv);
  std::printf("heap: GLIBC_TUNABLES=%s\n", tambrel::StartTunables().value_or("(unset)").c_str());
  const size_t timingItems = argc > 1 ? static_cast<size_t>(std::atol(argv[1])) : 2000;
  constexpr size_t million = 1000000;
  const bool timingOnly = argc > 2 && std::string(argv[2]) == "timing";
  if (!timingOnly) {
    tambrel::Memory(million);
    tambrel::Loading(million);
    tambrel::Taking(million);
  }
  tambrel::Timing(std::max<size_t>(timingItems, 2));
  tambrel::Lateness(std::max<size_t>(timingItems, 2));
  return 0;
}
