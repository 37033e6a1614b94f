#include "player/player.h"

#include <exception>
#include <vector>

#include "support/checked_math.h"
#include "support/text_format.h"

namespace tambrel {

using TickGuard = std::lock_guard<std::recursive_mutex>;

TPlayer::TPlayer() : TPlayer(std::make_unique<TSteadyPlayClock>()) {}

TPlayer::TPlayer(std::unique_ptr<TPlayClock> clock, uint32_t periodMax)
    : FTimer(std::make_unique<TPlayTimer>(std::move(clock), TimerResolution, periodMax)),
      FBatch(std::make_unique<TTimedBatch>(this, TItemOwnership::Borrows)) {
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

void TPlayer::SetEnabled(bool value) {
  TickGuard guard(FTimer->TickLock());
  if (value && Repeat() && ItemCount() < 2) return;
  if (value) Tick(false);
  FEnabled = value;
  FTimer->SetEnabled(value);
}

bool TPlayer::Enabled() const {
  return FEnabled;
}

void TPlayer::SetRepeat(bool value) {
  FRepeat = value;
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

void TPlayer::GotoTime(uint32_t time) {
  TickGuard guard(FTimer->TickLock());
  FBatch->SeekBefore(time);
  FCurrent = FBatch->TakeNext();
  // The item after the pending one is timed from it, whether playing now or at the next start.
  if (FCurrent) FTimer->SetPosition(FCurrent->Time);
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

void TPlayer::Trace(const std::string& text) {
  if (OnTrace) OnTrace(*this, text);
}

void TPlayer::Add(TTimed* item) {
  const bool heldTwo = FBatch->Count() >= 2;
  FBatch->AddTimed(item);
  if (!heldTwo && Enabled()) Restart();
}

void TPlayer::Remove(TTimed* item) {
  FBatch->RemoveTimed(item);
}

void TPlayer::AddItems(const TTimedBatch* list) {
  if (list == nullptr) return;
  std::vector<TTimed*> items = list->Snapshot();
  // Only the adds into a batch of fewer than two items restart the player; those go one by one, the
  // rest as one merge. The tick lock is not held meanwhile, so playback goes on.
  size_t first = 0;
  while (first < items.size() && FBatch->Count() < 2) Add(items[first++]);
  if (first == items.size()) return;
  items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(first));
  FBatch->AddTimedMany(items);
}

void TPlayer::RemoveItems(const TTimedBatch* list) {
  if (list == nullptr) return;
  FBatch->RemoveTimedMany(list->Snapshot());
}

int32_t TPlayer::ItemCount() const {
  return FBatch ? FBatch->Count() : 0;
}

bool TPlayer::PendingTime(uint32_t& time) {
  TickGuard guard(FTimer->TickLock());
  if (!FCurrent) return false;
  time = FCurrent->Time;
  return true;
}

void TPlayer::Deliver(const TTimed& item) {
  if (const auto* data = dynamic_cast<const TTimedData*>(&item)) {
    if (OnData) OnData(*this, *data);
  } else if (const auto* marker = dynamic_cast<const TEndMarker*>(&item)) {
    if (OnEnd) OnEnd(*this, *marker);
  }
}

void TPlayer::ReportFault(const char* what) {
  try {
    Trace(StrFormat("Player tick failed: %s", what));
  } catch (...) {
    // The report itself failed; the timer thread must live on regardless.
  }
}

void TPlayer::Tick(bool fromTimer) {
  TickGuard guard(FTimer->TickLock());
  if (!fromTimer) FTimer->AnchorNow();
  if (std::unique_ptr<TTimed> delivered = std::move(FCurrent)) {
    if (!fromTimer) {
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
