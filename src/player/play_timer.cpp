#include "player/play_timer.h"

#include <algorithm>

namespace tambrel {

TPlayTimer::TPlayTimer(std::unique_ptr<TPlayClock> clock, uint32_t resolution, uint32_t periodMax,
                       uint32_t periodMin)
    : FClock(std::move(clock)),
      FResolution(resolution),
      FPeriodMin(periodMin),
      FPeriodMax(std::max(periodMax, 1u)) {
  FAnchorUs = FTickDueUs = FClock->NowUs();
  FClock->Start([this](uint64_t id) { Fired(id); });
}

TPlayTimer::~TPlayTimer() {
  {
    std::lock_guard<std::recursive_mutex> guard(FTickLock);
    FEnabled = false;
    FEventId = 0;
    FClock->Cancel();
  }
  // Outside the lock: the clock's thread may be waiting for it inside Fired.
  FClock->Shutdown();
}

void TPlayTimer::AnchorNow() {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  FAnchorUs = FTickDueUs = FClock->NowUs();
}

void TPlayTimer::SetEnabled(bool value) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  FEnabled = value;
  if (!value && FEventId != 0) {
    FEventId = 0;
    FClock->Cancel();
  }
}

void TPlayTimer::Schedule(uint32_t target) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  if (FEventId != 0) {
    FEventId = 0;
    FClock->Cancel();
  }
  const uint32_t wait = target >= FPosition ? target - FPosition : 0;
  FPosition = target;
  ArmPart(wait);
}

void TPlayTimer::ArmPart(uint32_t wait) {
  const uint32_t part = std::min(wait, FPeriodMax);
  FRemaining = wait - part;
  FDueUs = FAnchorUs + static_cast<int64_t>(part) * 1000;
  FDeadlineUs = std::max(FDueUs, FTickDueUs + static_cast<int64_t>(FPeriodMin) * 1000);
  FEventId = ++FLastId;
  FClock->Arm(FDeadlineUs, FEventId);
}

void TPlayTimer::Fired(uint64_t id) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  // A one-shot cancelled or replaced after its thread woke up is not ours any more.
  if (id != FEventId || FEventId == 0) return;
  FEventId = 0;
  if (!FEnabled || !OnTimer) return;
  FAnchorUs = FDueUs;
  FTickDueUs = FDeadlineUs;
  if (FRemaining != 0) {
    ArmPart(FRemaining);
    return;
  }
  OnTimer();
}

}  // namespace tambrel
