#include "cli/cli_real_session.h"

#include "app/midi_output_port.h"
#include "app/player_timeline.h"
#include "midi/midi_service.h"

namespace tambrel {

std::unique_ptr<TTimeline> TRealSession::NewTimeline() {
  return std::make_unique<TPlayerTimeline>();
}

std::vector<std::string> TRealSession::PortNames() {
  return MidiOutputNames(SystemMidiService());
}

std::unique_ptr<TOutputPort> TRealSession::NewPort(int n) {
  return std::make_unique<TMidiOutputPort>(SystemMidiService(), n);
}

}  // namespace tambrel
