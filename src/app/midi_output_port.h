#pragma once
// An output of the routing bound to a MIDI output component on a MIDI service.

#include <memory>
#include <string>

#include "app/output_routing.h"
#include "midi/midi_output.h"

namespace tambrel {

class TMidiOutputPort : public TOutputPort {
 public:
  // The service must outlive the port.
  explicit TMidiOutputPort(TMidiOutService& service);
  void SetProductName(const std::string& name) override;
  bool Open() override;
  bool Close() override;
  void PutLong(const uint8_t* data, uint16_t length) override;
  std::string Drain() override;

 private:
  TMidiOutput Output;
  std::string Failure;  // owning thread only: set by the component's port error during Drain
};

// The output list as the Settings tab fills it: the service's mapper entry, then each port's name.
std::vector<std::string> MidiOutputNames(TMidiOutService& service);

}  // namespace tambrel
