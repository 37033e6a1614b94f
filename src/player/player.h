#pragma once
// The player: walks its time-ordered batch in real time and hands each item to its owner.
//
// Threads: OnData, OnEnd and the fault reports of OnTrace run on the play timer's thread when the timer
// delivers, and on the caller's thread for the ticks that SetEnabled(true), Restart, Step, GotoTime and
// Add run at once. Dump and Trace call OnTrace on the caller's thread. No callback runs with the batch
// lock held, so OnTrace may use the player. Ticks never overlap: they all hold the timer's tick lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "player/play_clock.h"
#include "player/play_timer.h"
#include "player/timed.h"
#include "player/timed_batch.h"

namespace tambrel {

class TPlayer {
 public:
  static constexpr uint32_t TimerResolution = 50;
  static constexpr uint32_t IdleWakeUp = 60000;  // ms after the last target when nothing is pending

  TPlayer();  // real monotonic clock and timer thread
  explicit TPlayer(std::unique_ptr<TPlayClock> clock, uint32_t periodMax = TPlayTimer::NoPeriodMax);
  ~TPlayer();
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;

  // Starting delivers the pending item at once; it is refused (nothing changes) with Repeat set and
  // fewer than two items. Stopping keeps the pending item and takes effect between ticks.
  void SetEnabled(bool value);
  bool Enabled() const;
  void SetRepeat(bool value);
  bool Repeat() const;
  void Restart();
  void Step();
  void GotoTime(uint32_t time);
  void Dump();
  void Trace(const std::string& text);
  void Add(TTimed* item);
  void Remove(TTimed* item);
  // The same order, read position and restarts as Add of every item in list order, in O(n log n).
  void AddItems(const TTimedBatch* list);  // null ignored
  // The same as Remove of every item in list order, in linear time.
  void RemoveItems(const TTimedBatch* list);  // null ignored
  int32_t ItemCount() const;
  // How the thread that delivers is scheduled, e.g. "real-time (SCHED_FIFO, priority 10)".
  std::string Scheduling() const { return FTimer->Scheduling(); }

  // Expires when the player is destroyed: what was loaded into it then has nothing to withdraw from.
  // Window thread only, like destruction.
  std::weak_ptr<const void> Lifetime() const { return FLifetime; }

  // For inspection (tests, the benchmark).
  TPlayTimer& Timer() { return *FTimer; }
  TTimedBatch& Batch() { return *FBatch; }
  // The time of the pending item; false when none is pending.
  bool PendingTime(uint32_t& time);

  // Assigned once before playing and cleared before destruction, from the window thread;
  // that ordering (not a lock) is what guards them.
  std::function<void(TPlayer& sender, const TTimedData& item)> OnData;
  std::function<void(TPlayer& sender, const TEndMarker& item)> OnEnd;
  std::function<void(TPlayer& sender, const std::string& text)> OnTrace;

 private:
  void Tick(bool fromTimer);
  void TimerTick();
  void Deliver(const TTimed& item);
  void Reset();
  void ReportFault(const char* what);

  std::unique_ptr<TPlayTimer> FTimer;
  std::unique_ptr<TTimedBatch> FBatch;  // borrows the items of the Tambrels loaded
  std::unique_ptr<TTimed> FCurrent;     // guarded by the timer's tick lock
  std::atomic<bool> FEnabled{false};    // written under the tick lock, read anywhere
  std::atomic<bool> FRepeat{false};
  const std::shared_ptr<const bool> FLifetime = std::make_shared<const bool>(true);
};

}  // namespace tambrel
