#pragma once
// The play timer: a one-shot on a monotonic clock that runs OnTimer on the clock's thread after a span
// of timeline milliseconds. Waits are timed from the due instant of the previous wake-up, not from when
// the thread happened to run, so late wake-ups never add up. A wait shorter than PeriodMin is raised to
// PeriodMin after the previous wake-up, but the next wait is still timed from the un-raised instant:
// items of equal times keep their gap without delaying what follows.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include "player/play_clock.h"

namespace tambrel {

class TPlayTimer {
 public:
  static constexpr uint32_t NoPeriodMax = std::numeric_limits<uint32_t>::max();

  TPlayTimer(std::unique_ptr<TPlayClock> clock, uint32_t resolution, uint32_t periodMax = NoPeriodMax,
             uint32_t periodMin = 1);
  ~TPlayTimer();  // cancels, then waits for the clock's thread to finish
  TPlayTimer(const TPlayTimer&) = delete;
  TPlayTimer& operator=(const TPlayTimer&) = delete;

  // Everything below, and OnTimer, runs with TickLock() held; the owner takes it around its own state
  // too, which serialises its ticks. Recursive so that a callback inside a tick may step the player.
  std::recursive_mutex& TickLock() { return FTickLock; }

  // Arms OnTimer for target - Position() ms after the anchor (0 when target is behind Position), at
  // least PeriodMin after the instant the running tick was due, in parts of at most PeriodMax;
  // Position() becomes target.
  void Schedule(uint32_t target);
  // Times the next Schedule from the present instant (a tick called from outside the timer).
  void AnchorNow();
  void ResetPosition() { FPosition = 0; }
  bool Enabled() const { return FEnabled; }
  // Disabling cancels the armed one-shot, so that a stale wake-up cannot tick after the next start.
  void SetEnabled(bool value);

  uint32_t Position() const { return FPosition; }
  uint32_t Remaining() const { return FRemaining; }
  uint64_t EventId() const { return FEventId; }
  uint32_t Resolution() const { return FResolution; }
  uint32_t PeriodMin() const { return FPeriodMin; }
  uint32_t PeriodMax() const { return FPeriodMax; }
  int64_t NowUs() { return FClock->NowUs(); }
  std::string Scheduling() const { return FClock->Scheduling(); }
  // The instant the running tick is timed from, and the deadline of the armed part.
  int64_t AnchorUs() const { return FAnchorUs; }
  int64_t DeadlineUs() const { return FDeadlineUs; }
  void SetPosition(uint32_t position) { FPosition = position; }

  std::function<void()> OnTimer;  // set by the owner before the first Schedule

 private:
  void Fired(uint64_t id);
  void ArmPart(uint32_t wait);

  std::recursive_mutex FTickLock;
  // All fields below are guarded by FTickLock.
  std::unique_ptr<TPlayClock> FClock;
  uint64_t FEventId = 0;  // 0 when nothing is armed
  uint64_t FLastId = 0;
  uint32_t FRemaining = 0;
  uint32_t FPosition = 0;
  uint32_t FResolution;
  uint32_t FPeriodMin;
  uint32_t FPeriodMax;
  bool FEnabled = false;
  int64_t FAnchorUs = 0;    // the un-raised due instant of the running tick: later waits count from it
  int64_t FTickDueUs = 0;   // the instant the running tick was armed for: PeriodMin counts from it
  int64_t FDueUs = 0;       // the un-raised due instant of the armed part
  int64_t FDeadlineUs = 0;  // FDueUs, raised to PeriodMin after FTickDueUs
};

}  // namespace tambrel
