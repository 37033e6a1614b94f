#include "app/midi_output_port.h"

#include <utility>

#include "support/text_format.h"

namespace tambrel {

TMidiOutputPort::TMidiOutputPort(TMidiOutService& service, int n) : Output(service) {
  Output.SetPortName(StrFormat("Tambrel output %d", n));
  Output.OnPortError = [this](TMidiOutput&, const std::string& text) { Report.Failure = text; };
  Output.OnPortNotice = [this](TMidiOutput&, const std::string& text) { Report.Notices.push_back(text); };
}

void TMidiOutputPort::SetProductName(const std::string& name) {
  Output.SetProductName(name);
}

bool TMidiOutputPort::Open() {
  return Output.Open();
}

bool TMidiOutputPort::Close() {
  return Output.Close();
}

TSendOutcome TMidiOutputPort::PutLong(const uint8_t* data, uint16_t length) {
  TSendOutcome outcome;
  try {
    outcome.Sent = Output.PutLong(data, length);
  } catch (const EMidiBytesDropped& dropped) {
    outcome.Sent = dropped.Sent;
    outcome.Problem = dropped.what();
  } catch (const std::exception& error) {
    outcome.Problem = error.what();
  }
  return outcome;
}

void TMidiOutputPort::ReleaseHeldNotes() {
  Output.ReleaseHeldNotes();
}

TPortReport TMidiOutputPort::Drain() {
  Report = TPortReport{};
  Output.Drain();
  return std::exchange(Report, TPortReport{});
}

std::vector<std::string> MidiOutputNames(TMidiOutService& service) {
  std::vector<std::string> names;
  TMidiOutCaps caps;
  if (service.GetDevCaps(MidiMapperId, caps).Ok()) names.push_back(caps.ProductName);
  const uint32_t count = service.GetNumDevs();
  for (uint32_t id = 0; id < count; ++id) {
    if (service.GetDevCaps(id, caps).Ok()) names.push_back(caps.ProductName);
  }
  return names;
}

}  // namespace tambrel
