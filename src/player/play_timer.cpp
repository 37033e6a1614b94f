#include "player/play_timer.h"

#include <algorithm>

namespace tambrel {

TPlayTimer::TPlayTimer(std::unique_ptr<TPlayClock> Clock, uint32_t Resolution, uint32_t PeriodMax,
                       uint32_t PeriodMin)
    : FClock(std::move(Clock)),
      FResolution(Resolution),
      FPeriodMin(PeriodMin),
      FPeriodMax(std::max(PeriodMax, 1u)) {
  FAnchorUs = FClock->NowUs();
  FClock->Start([this](uint64_t Id) { Fired(Id); });
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
  FAnchorUs = FClock->NowUs();
}

void TPlayTimer::SetEnabled(bool Value) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  FEnabled = Value;
  if (!Value && FEventId != 0) {
    FEventId = 0;
    FClock->Cancel();
  }
}

void TPlayTimer::Schedule(uint32_t Target) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  if (FEventId != 0) {
    FEventId = 0;
    FClock->Cancel();
  }
  const uint32_t wait = Target >= FPosition ? Target - FPosition : 0;
  FPosition = Target;
  ArmPart(wait);
}

void TPlayTimer::ArmPart(uint32_t Wait) {
  uint32_t part = std::min(Wait, FPeriodMax);
  FRemaining = Wait - part;
  part = std::max(part, FPeriodMin);
  FDeadlineUs = FAnchorUs + static_cast<int64_t>(part) * 1000;
  FEventId = ++FLastId;
  FClock->Arm(FDeadlineUs, FEventId);
}

void TPlayTimer::Fired(uint64_t Id) {
  std::lock_guard<std::recursive_mutex> guard(FTickLock);
  // A one-shot cancelled or replaced after its thread woke up is not ours any more.
  if (Id != FEventId || FEventId == 0) return;
  FEventId = 0;
  if (!FEnabled || !OnTimer) return;
  FAnchorUs = FDeadlineUs;
  if (FRemaining != 0) {
    ArmPart(FRemaining);
    return;
  }
  OnTimer();
}

}  // namespace tambrel
