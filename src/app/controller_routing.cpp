// The Settings tab's routing controls, the indicators and the player's data callback.
#include <algorithm>

#include "app/tambrel_controller.h"
#include "player/timed.h"

namespace tambrel {

namespace {

int32_t ClampedDevice(int32_t value) {
  return std::clamp<int32_t>(value, 1, 65535);
}

TToggle ToggleOf(int n) {
  return static_cast<TToggle>(static_cast<int>(TToggle::MidiActive1) + n - 1);
}

}  // namespace

void TTambrelController::FillMidiLists() {
  if (MidiListsFilled) return;
  FRouting.FillMidiLists(Parts.DeviceNames ? Parts.DeviceNames() : std::vector<std::string>());
  MidiListsFilled = true;
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n) {
    View.ShowDeviceList(n, FRouting.DeviceList());
    ShowOutputState(n);
  }
}

void TTambrelController::ShowOutputState(int n) {
  const OutputSlot& slot = FRouting.Slot(n);
  View.ShowDeviceSelection(n, slot.DeviceName);
  View.ShowToggle(ToggleOf(n), slot.Active, TOutputRouting::ToggleCaption(n, slot.Active));
}

void TTambrelController::ShowSlidesState() {
  const bool on = FRouting.SlidesActive();
  View.ShowToggle(TToggle::SlidesActive, on, TOutputRouting::ToggleCaption(5, on));
}

void TTambrelController::SelectOutput(int n, const std::string& name) {
  FRouting.SelectOutput(n, name);
  ShowOutputState(n);
}

void TTambrelController::SetOutputActive(int n, bool on) {
  // The toggle follows the outcome also when the output refused: it springs back.
  struct TShow {
    TTambrelController& Self;
    int N;
    ~TShow() { Self.ShowOutputState(N); }
  } show{*this, n};
  FRouting.SetOutputActive(n, on);
}

void TTambrelController::SetHandlesDevice(int n, int32_t value) {
  value = ClampedDevice(value);
  if (FRouting.Slot(n).HandlesDevice == value) return;
  FRouting.SetHandlesDevice(n, value);
  View.ShowHandlesDevice(n, value);
}

void TTambrelController::SetSlidesActive(bool on) {
  if (FRouting.SlidesActive() != on) FRouting.SetSlidesActive(on);
  ShowSlidesState();
}

void TTambrelController::SetSlidesDevice(int32_t value) {
  value = ClampedDevice(value);
  if (FRouting.SlidesDevice() == value) return;
  FRouting.SetSlidesDevice(value);
  View.ShowHandlesDevice(5, value);
}

void TTambrelController::LightIndicator(int n) {
  const auto timer = static_cast<TTimerId>(static_cast<int>(TTimerId::Led1) + n - 1);
  if (Parts.Timers->Running(timer)) return;
  View.ShowIndicator(n, true);
  Parts.Timers->Start(timer, LedIntervalMs);
}

void TTambrelController::DrainTrace() {
  FRouting.DrainTrace(Sink);
}

void TTambrelController::PlayerData(const TTimedData& data) {
  StaleRoot.store(nullptr, std::memory_order_relaxed);
  TRoutedItem item;
  item.Time = data.Time;
  item.Device = data.Device;
  item.Data = std::span<const uint8_t>(data.Data(), static_cast<size_t>(data.Count()));
  item.DumpLine = [&data] { return data.Dump(); };
  FRouting.PlayerData(item);
}

}  // namespace tambrel
