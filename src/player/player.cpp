#include "player/player.h"

#include <exception>
#include <vector>

#include "support/checked_math.h"
#include "support/text_format.h"

namespace tambrel {

using TickGuard = std::lock_guard<std::recursive_mutex>;

TPlayer::TPlayer() : TPlayer(std::make_unique<TSteadyPlayClock>()) {}

TPlayer::TPlayer(std::unique_ptr<TPlayClock> Clock, uint32_t PeriodMax)
    : FTimer(std::make_unique<TPlayTimer>(std::move(Clock), TimerResolution, PeriodMax)),
      FBatch(std::make_unique<TTimedBatch>(this)) {
  FTimer->OnTimer = [this] { TimerTick(); };
  SetEnabled(false);
  Restart();
}

TPlayer::~TPlayer() {
  SetEnabled(false);
  // The timer's thread is joined before the batch and the pending item it uses go away.
  FTimer.reset();
  FBatch.reset();
  FCurrent.reset();
}

void TPlayer::SetEnabled(bool Value) {
  TickGuard guard(FTimer->TickLock());
  if (Value && Repeat() && ItemCount() < 2) return;
  if (Value) Tick(false);
  FEnabled = Value;
  FTimer->SetEnabled(Value);
}

bool TPlayer::Enabled() const {
  return FEnabled;
}

void TPlayer::SetRepeat(bool Value) {
  FRepeat = Value;
}

bool TPlayer::Repeat() const {
  return FRepeat;
}

void TPlayer::Reset() {
  TickGuard guard(FTimer->TickLock());
  FTimer->ResetPosition();
  FBatch->Rewind();
  FCurrent = FBatch->TakeNext();
}

void TPlayer::Restart() {
  TickGuard guard(FTimer->TickLock());
  Reset();
  if (Enabled()) Tick(false);
}

void TPlayer::Step() {
  TickGuard guard(FTimer->TickLock());
  if (Enabled()) Tick(false);
}

void TPlayer::GotoTime(uint32_t Time) {
  TickGuard guard(FTimer->TickLock());
  FBatch->SeekBefore(Time);
  FCurrent = FBatch->TakeNext();
  if (!FCurrent && Repeat()) {
    Restart();
    return;
  }
  Step();
  Step();
}

void TPlayer::Dump() {
  FBatch->Dump(0);
}

void TPlayer::Trace(const std::string& Text) {
  if (OnTrace) OnTrace(*this, Text);
}

void TPlayer::Add(TTimed* Item) {
  const bool heldTwo = FBatch->Count() >= 2;
  FBatch->AddTimed(Item);
  if (!heldTwo && Enabled()) Restart();
}

void TPlayer::Remove(TTimed* Item) {
  FBatch->RemoveTimed(Item);
}

void TPlayer::AddItems(const TTimedBatch* List) {
  if (List == nullptr) return;
  std::vector<TTimed*> items = List->Snapshot();
  // Only the adds into a batch of fewer than two items restart the player; those go one by one, the
  // rest as one merge. The tick lock is not held meanwhile, so playback goes on.
  size_t first = 0;
  while (first < items.size() && FBatch->Count() < 2) Add(items[first++]);
  if (first == items.size()) return;
  items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(first));
  FBatch->AddTimedMany(items);
}

void TPlayer::RemoveItems(const TTimedBatch* List) {
  if (List == nullptr) return;
  FBatch->RemoveTimedMany(List->Snapshot());
}

int32_t TPlayer::ItemCount() const {
  return FBatch ? FBatch->Count() : 0;
}

bool TPlayer::PendingTime(uint32_t& Time) {
  TickGuard guard(FTimer->TickLock());
  if (!FCurrent) return false;
  Time = FCurrent->Time;
  return true;
}

void TPlayer::Deliver(const TTimed& Item) {
  if (const auto* data = dynamic_cast<const TTimedData*>(&Item)) {
    if (OnData) OnData(*this, *data);
  } else if (const auto* marker = dynamic_cast<const TEndMarker*>(&Item)) {
    if (OnEnd) OnEnd(*this, *marker);
  }
}

void TPlayer::ReportFault(const char* What) {
  try {
    Trace(StrFormat("Player tick failed: %s", What));
  } catch (...) {
    // The report itself failed; the timer thread must live on regardless.
  }
}

void TPlayer::Tick(bool FromTimer) {
  TickGuard guard(FTimer->TickLock());
  if (!FromTimer) FTimer->AnchorNow();
  if (std::unique_ptr<TTimed> delivered = std::move(FCurrent)) {
    if (!FromTimer) {
      Deliver(*delivered);  // a fault goes to the caller; the item is freed on the way out
    } else {
      try {
        Deliver(*delivered);
      } catch (const std::exception& e) {
        ReportFault(e.what());
      } catch (...) {
        ReportFault("unknown exception");
      }
    }
  }
  FCurrent = FBatch->TakeNext();
  if (!FCurrent && Repeat()) Reset();
  const uint32_t target = FCurrent ? FCurrent->Time : CheckedAddU32(FTimer->Position(), IdleWakeUp);
  FTimer->Schedule(target);
}

void TPlayer::TimerTick() {
  try {
    Tick(true);
  } catch (const std::exception& e) {
    ReportFault(e.what());
  } catch (...) {
    ReportFault("unknown exception");
  }
}

}  // namespace tambrel
