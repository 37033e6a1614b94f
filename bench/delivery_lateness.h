#pragma once
// What the benchmarks of played items share: the monotonic clock in nanoseconds, the summary of a run's
// lateness figures, and the player on its own delivering a timeline on the real clock, which is the
// figure the window's and the load's runs are held against.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/player.h"

namespace tambrel::bench {

inline int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Stats {
  double medianUs = 0, p99Us = 0, maxUs = 0, lastUs = 0;
};

// Nanosecond figures in the order they were taken; all zero for none.
inline Stats Summarise(std::vector<int64_t> latenessNs) {
  if (latenessNs.empty()) return {};
  const double last = static_cast<double>(latenessNs.back()) / 1000.0;
  std::sort(latenessNs.begin(), latenessNs.end());
  auto at = [&](double q) {
    return static_cast<double>(
               latenessNs[static_cast<size_t>(q * static_cast<double>(latenessNs.size() - 1))]) /
           1000.0;
  };
  return {at(0.5), at(0.99), static_cast<double>(latenessNs.back()) / 1000.0, last};
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[(values.size() - 1) / 2];
}

// Set once by another thread, waited for by the measuring one.
class TDone {
 public:
  void Set() {
    std::lock_guard<std::mutex> guard(FMutex);
    FDone = true;
    FChanged.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(FMutex);
    FChanged.wait(lock, [this] { return FDone; });
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  bool FDone = false;  // guarded by FMutex
};

// Each time carries one item for each of `devices` devices, played by a player of its own with nothing
// but a time stamp in its data callback. An item is due at its time, or PeriodMin (1 ms) after the item
// before when that is later: the player spaces the items it does not merge. The first item is delivered
// at the start and is not counted.
inline std::vector<int64_t> PlayerDeliveries(const std::vector<uint32_t>& times, int32_t devices) {
  TTimedBatch tambrel;
  const uint8_t bytes[] = {0x90, 60, 100};
  std::vector<int64_t> dueMs;
  for (uint32_t t : times) {
    for (int32_t device = 1; device <= devices; ++device) {
      tambrel.Append(new TTimedData(t, bytes, 3, device));
      dueMs.push_back(dueMs.empty() ? t : std::max<int64_t>(t, dueMs.back() + 1));
    }
  }
  tambrel.Append(new TEndMarker(times.back(), nullptr));
  std::vector<int64_t> stamps;
  stamps.reserve(dueMs.size());
  TDone ended;
  TPlayer player;
  player.OnData = [&](TPlayer&, const TTimedData&) { stamps.push_back(NowNs()); };
  player.OnEnd = [&](TPlayer&, const TEndMarker&) { ended.Set(); };
  player.AddItems(&tambrel);
  player.Restart();
  const int64_t start = NowNs();
  player.SetEnabled(true);
  ended.Wait();
  player.SetEnabled(false);
  player.OnData = nullptr;
  player.OnEnd = nullptr;
  std::vector<int64_t> lateness;
  for (size_t i = 1; i < stamps.size(); ++i) lateness.push_back(stamps[i] - (start + dueMs[i] * 1000000));
  return lateness;
}

// Times 0, 1, 2, ... ms: a thousand items a second.
inline std::vector<uint32_t> EveryMillisecond(size_t n) {
  std::vector<uint32_t> times(n);
  for (size_t i = 0; i < n; ++i) times[i] = static_cast<uint32_t>(i);
  return times;
}

}  // namespace tambrel::bench
