#pragma once
// An output of the routing bound to a MIDI output component on a MIDI service.

#include <memory>
#include <string>

#include "app/output_routing.h"
#include "midi/midi_output.h"

namespace tambrel {

class TMidiOutputPort : public TOutputPort {
 public:
  // The service must outlive the port; n is the output's number, which names its sending port.
  TMidiOutputPort(TMidiOutService& service, int n);
  void SetProductName(const std::string& name) override;
  bool Open() override;
  bool Close() override;
  TSendOutcome PutLong(const uint8_t* data, uint16_t length) override;
  void ReleaseHeldNotes() override;
  TPortReport Drain() override;

 private:
  TMidiOutput Output;
  TPortReport Report;  // owning thread only: filled by the component's callbacks during Drain
};

// The output list as the Settings tab fills it: the service's mapper entry, then each port's name.
std::vector<std::string> MidiOutputNames(TMidiOutService& service);

}  // namespace tambrel
