#include "app/output_routing.h"

#include <exception>
#include <stdexcept>

#include "support/text_format.h"

namespace tambrel {

TOutputRouting::TOutputRouting(std::array<TOutputPort*, OutputCount> ports) : Ports(ports) {}

TOutputRouting::~TOutputRouting() {
  SetDestroying();
}

OutputSlot& TOutputRouting::SlotRef(int n) {
  if (n < 1 || n > OutputCount) throw std::out_of_range(StrFormat("No MIDI output %d", n));
  return Slots[static_cast<size_t>(n - 1)];
}

const OutputSlot& TOutputRouting::Slot(int n) const {
  return const_cast<TOutputRouting*>(this)->SlotRef(n);
}

std::string TOutputRouting::ToggleCaption(int n, bool active) {
  return active ? StrFormat("&%d Active", n) : StrFormat("&%d Inactive", n);
}

void TOutputRouting::FillMidiLists(const std::vector<std::string>& entries) {
  if (ListsFilled) return;
  Entries = entries;
  ListsFilled = true;
  if (Entries.empty()) return;
  // The name shown is the device selected, so that activating an output opens what it shows.
  for (int n = 1; n <= OutputCount; ++n) SelectOutput(n, Entries.front());
}

void TOutputRouting::ReportDevice(int n, const std::string& text) {
  if (OnDeviceError) OnDeviceError(StrFormat("output %d: %s", n, text.c_str()));
}

void TOutputRouting::SwitchOff(OutputSlot& slot) {
  slot.DeviceName.clear();
  slot.Active = false;
  slot.Opened = false;
}

void TOutputRouting::SelectOutput(int n, const std::string& name) {
  OutputSlot& slot = SlotRef(n);
  TOutputPort* port = Ports[static_cast<size_t>(n - 1)];
  slot.DeviceName.clear();
  const std::string key = UpperAscii(name);
  const std::string* found = nullptr;
  for (const std::string& entry : Entries) {
    if (UpperAscii(entry) == key) {
      found = &entry;
      break;
    }
  }
  if (found == nullptr) return;
  try {
    slot.DeviceName = *found;
    if (slot.Opened) {
      // Stop routing to the port before it closes under the player's thread.
      slot.Opened = false;
      port->Close();
    }
    port->SetProductName(slot.DeviceName);
    if (slot.Active) {
      port->Open();
      slot.Opened = true;
    }
  } catch (const std::exception& error) {
    SwitchOff(slot);
    if (OnDeviceError) OnDeviceError(error.what());
  }
}

void TOutputRouting::SetOutputActive(int n, bool on) {
  OutputSlot& slot = SlotRef(n);
  TOutputPort* port = Ports[static_cast<size_t>(n - 1)];
  if (on == slot.Active) return;
  slot.Active = on;
  slot.Opened = false;
  if (!on) {
    port->Close();  // an error here reaches the caller; the output stays off
    return;
  }
  if (slot.DeviceName.empty()) {
    slot.Active = false;  // nothing to open
    return;
  }
  try {
    port->Open();
    slot.Opened = true;
  } catch (const std::exception& error) {
    SwitchOff(slot);
    if (OnDeviceError) OnDeviceError(error.what());
  }
}

void TOutputRouting::SetHandlesDevice(int n, int32_t value) {
  SlotRef(n).HandlesDevice = value;
}
void TOutputRouting::SetSlidesActive(bool on) {
  SlidesActiveFlag = on;
}
void TOutputRouting::SetSlidesDevice(int32_t value) {
  SlidesDeviceNumber = value;
}
void TOutputRouting::SetTraceMode(bool on) {
  TraceModeFlag = on;
}
void TOutputRouting::SetDestroying() {
  Destroying = true;
}

void TOutputRouting::PlayerData(const TRoutedItem& item) {
  if (Destroying) return;
  for (int n = 1; n <= OutputCount; ++n) {
    const OutputSlot& slot = Slots[static_cast<size_t>(n - 1)];
    if (!slot.Active || !slot.Opened || slot.HandlesDevice != item.Device) continue;
    // An item never holds more than 32768 bytes, so the length fits the 16-bit long-message length.
    const auto length = static_cast<uint16_t>(item.Data.size());
    const TSendOutcome outcome = PortOf(n).PutLong(item.Data.data(), length);
    if (!outcome.Problem.empty() && OnSendError) OnSendError(n, outcome.Problem);
    if (outcome.Sent && OnLight) OnLight(n);
  }
  if (SlidesActiveFlag && SlidesDeviceNumber == item.Device && OnSlideBytes) OnSlideBytes(item.Data);
  if (TraceModeFlag) QueueTrace(item.DumpLine ? item.DumpLine() : std::string());
  if (OnSyncClock) OnSyncClock(item.Time);
}

void TOutputRouting::QueueTrace(std::string line) {
  bool wasEmpty = false;
  {
    std::lock_guard<std::mutex> guard(TraceLock);
    wasEmpty = TraceQueue.empty();
    TraceQueue.push_back(std::move(line));
  }
  if (wasEmpty && OnTracePosted) OnTracePosted();
}

void TOutputRouting::DrainTrace(TMessageSink& sink) {
  std::deque<std::string> lines;
  {
    std::lock_guard<std::mutex> guard(TraceLock);
    lines.swap(TraceQueue);
  }
  for (const std::string& line : lines) sink.WriteMessage(line);
}

void TOutputRouting::DiscardTrace() {
  std::lock_guard<std::mutex> guard(TraceLock);
  TraceQueue.clear();
}

void TOutputRouting::DrainPorts() {
  for (int n = 1; n <= OutputCount; ++n) {
    const TPortReport report = PortOf(n).Drain();
    for (const std::string& notice : report.Notices)
      if (OnPortNotice) OnPortNotice(StrFormat("output %d: %s", n, notice.c_str()));
    if (report.Failure.empty()) continue;
    SwitchOff(SlotRef(n));
    ReportDevice(n, report.Failure);
  }
}

void TOutputRouting::ReleaseHeldNotes() {
  for (int n = 1; n <= OutputCount; ++n) {
    if (!SlotRef(n).Opened) continue;
    try {
      PortOf(n).ReleaseHeldNotes();
    } catch (const std::exception& error) {
      ReportDevice(n, error.what());
    }
  }
}

void TOutputRouting::CloseAll() {
  std::vector<std::pair<int, std::string>> failures;
  for (int n = 1; n <= OutputCount; ++n) {
    OutputSlot& slot = SlotRef(n);
    if (!slot.Opened) continue;
    slot.Opened = false;
    try {
      PortOf(n).Close();
    } catch (const std::exception& error) {
      failures.emplace_back(n, error.what());
    }
  }
  for (const auto& [n, text] : failures) ReportDevice(n, text);
}

}  // namespace tambrel
