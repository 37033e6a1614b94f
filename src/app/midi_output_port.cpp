#include "app/midi_output_port.h"

namespace tambrel {

TMidiOutputPort::TMidiOutputPort(TMidiOutService& service) : Output(service) {
  Output.OnPortError = [this](TMidiOutput&, const std::string& text) { Failure = text; };
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

void TMidiOutputPort::PutLong(const uint8_t* data, uint16_t length) {
  Output.PutLong(data, length);
}

std::string TMidiOutputPort::Drain() {
  Failure.clear();
  Output.Drain();
  return std::move(Failure);
}

std::vector<std::string> MidiOutputNames(TMidiOutService& service) {
  std::vector<std::string> names;
  TMidiOutCaps caps;
  if (service.GetDevCaps(MidiMapperId, caps) == 0) names.push_back(caps.ProductName);
  const uint32_t count = service.GetNumDevs();
  for (uint32_t id = 0; id < count; ++id) {
    if (service.GetDevCaps(id, caps) == 0) names.push_back(caps.ProductName);
  }
  return names;
}

}  // namespace tambrel
