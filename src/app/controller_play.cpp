// Play control, the play clock and the hot keys.
#include <charconv>
#include <mutex>
#include <stdexcept>

#include "app/tambrel_controller.h"
#include "player/player.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

// A whole number: decimal digits with an optional sign, within 32 signed bits.
bool ReadWholeNumber(const std::string& text, int32_t& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value, 10);
  return first != last && error == std::errc() && end == last;
}

}  // namespace

void TTambrelController::SetPlaying(bool on) {
  if (on == FPlaying) return;
  FPlaying = on;
  View.ShowToggle(TToggle::StartStop, on, on ? "&Stop" : "&Start");
  UpdateCaption();
  FPlayer->SetEnabled(on);
  if (!on) ReleaseHeldNotes();
  if (on) {
    const uint32_t now = Now();
    FStartTime = now;
    UpdateClock(now);
    Parts.Timers->Start(TTimerId::Time, ClockIntervalMs);
  } else {
    Parts.Timers->Stop(TTimerId::Time);
  }
  if (on && FTraceMode) View.SetActiveTab(TTab::Debug);
}

void TTambrelController::ResumeRefusedStart() {
  // The player refuses to repeat fewer than two items; the display stays "playing" and the player
  // starts once it can.
  if (FPlaying && FPlayer && !FPlayer->Enabled()) FPlayer->SetEnabled(true);
}

void TTambrelController::SetRepeat(bool on) {
  if (on == FDoRepeat) return;
  FDoRepeat = on;
  View.ShowToggle(TToggle::DoRepeat, on, "Re&peat");
  FPlayer->SetRepeat(on);
  ResumeRefusedStart();
}

void TTambrelController::ReleaseHeldNotes() {
  FRouting.ReleaseHeldNotes();
}

void TTambrelController::ResetPlayer() {
  {
    std::lock_guard<std::recursive_mutex> tick(FPlayer->Timer().TickLock());
    if (FPlaying) ReleaseHeldNotes();
    StaleRoot = nullptr;
    FPlayer->Restart();
  }
  const uint32_t now = Now();
  FStartTime = now;
  UpdateClock(now);
}

void TTambrelController::NextItem() {
  FPlayer->Step();
}

void TTambrelController::GotoTimeCommand() {
  std::string answer = std::to_string(FGotoMinutes);
  if (!Parts.Dialogs->InputQuery("Goto time", "minutes", answer)) return;
  int32_t value = static_cast<int32_t>(FGotoMinutes);
  if (!ReadWholeNumber(answer, value)) value = static_cast<int32_t>(FGotoMinutes);
  if (value < 0) throw std::runtime_error(StrFormat("Goto time: %d minutes is before the start", value));
  FGotoMinutes = static_cast<uint32_t>(value);
  if (FGotoMinutes > MaxGotoMinutes)
    throw std::runtime_error(
        StrFormat("Goto time: %u minutes is beyond the last time, %u minutes", FGotoMinutes, MaxGotoMinutes));
  std::lock_guard<std::recursive_mutex> tick(FPlayer->Timer().TickLock());
  if (FPlaying) ReleaseHeldNotes();
  StaleRoot = nullptr;
  FPlayer->GotoTime(FGotoMinutes * 60000u);
}

void TTambrelController::UpdateClock(uint32_t now) {
  // Modulo 2^32, so that the counter's wrap and an anchor before the counter's zero (an item time
  // above the uptime) read right; a counter behind the anchor keeps the text.
  const auto elapsed = static_cast<int32_t>(now - FStartTime.load());
  if (elapsed >= 0) View.ShowClock(FormatPlayTime(static_cast<uint32_t>(elapsed)));
}

void TTambrelController::SyncClock(uint32_t itemTime) {
  FStartTime = Now() - itemTime;
}

bool TTambrelController::IsHotKey(char key, const TKeyModifiers& modifiers) const {
  if (!modifiers.Alt || modifiers.Shift || modifiers.Ctrl || modifiers.Meta) return false;
  if (key >= '1' && key <= '5') return View.ActiveTab() == TTab::Settings;
  return key == 'P' || key == 'S';
}

bool TTambrelController::FormKeyDown(char key, const TKeyModifiers& modifiers) {
  if (!IsHotKey(key, modifiers)) return false;
  if (key == '5') {
    SetSlidesActive(!FRouting.SlidesActive());
  } else if (key >= '1' && key <= '4') {
    SetOutputActive(key - '0', !FRouting.Slot(key - '0').Active);
  } else if (key == 'P') {
    SetRepeat(!FDoRepeat);
  } else {
    SetPlaying(!FPlaying);
  }
  return true;
}

}  // namespace tambrel
