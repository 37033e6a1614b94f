#pragma once
// A MIDI system (ALSA sequencer, JACK) as the combined service sees it: the ports it can send to now,
// and opening either one of them or the system's own virtual "Tambrel" port.

#include <memory>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace tambrel {

struct TMidiDestination {
  std::string ProductName;  // as listed, e.g. "fluidsynth:midi_00 (JACK)"
  std::string Address;      // what the system needs to connect to it
};

class TMidiBackend {
 public:
  virtual ~TMidiBackend() = default;
  // Empty when the system is not running; never blocks on a missing system.
  virtual std::vector<TMidiDestination> ListPorts() = 0;
  virtual bool Running() = 0;
  // A sending port of its own named portName, connected to the destination only and offered to no
  // other program.
  virtual TMidiResult OpenPort(const std::string& address, const std::string& portName,
                               TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) = 0;
  // The unconnected output named "Tambrel" that other programs connect to; the service opens it once.
  virtual TMidiResult OpenVirtual(TMidiDoneCallback done, std::unique_ptr<TMidiOutPort>& port) = 0;
};

// serverName empty: the default server (JACK_DEFAULT_SERVER or "default"). Never starts a server.
std::unique_ptr<TMidiBackend> MakeJackBackend(const std::string& serverName = "");
std::unique_ptr<TMidiBackend> MakeAlsaBackend();

// The ports of every backend, in the order given, behind the virtual port.
std::unique_ptr<TMidiOutService> MakeCombinedMidiService(std::vector<std::unique_ptr<TMidiBackend>> backends);

}  // namespace tambrel
