#include <string>

#include "midi/midi_service.h"

namespace tambrel {

namespace {

const char* FixedText(uint16_t code) {
  switch (code) {
    case MidiErrNone:
      return "The operation completed successfully";
    case MidiErrGeneral:
      return "Unspecified MIDI system error";
    case MidiErrBadDeviceId:
      return "The MIDI output device identifier is out of range";
    case MidiErrInvalidHandle:
      return "The MIDI output port is not open";
    case MidiErrNoMemory:
      return "Not enough memory for the MIDI message";
    case MidiErrInvalidParam:
      return "Invalid parameter passed to the MIDI output port";
    case MidiErrNoDevice:
      return "The MIDI output port no longer exists";
    case MidiErrPortGone:
      return "The MIDI system of this port has gone away; the port was closed";
    case MidiErrBufferFull:
      return "The MIDI output buffer is full; the message was not sent";
    case MidiErrNoSystem:
      return "No MIDI system is running (neither the ALSA sequencer nor a JACK server)";
    case MidiErrSystem:
      return "The MIDI system reported an error";
    case MidiErrBytesDropped:
      return "MIDI bytes that form no complete message were dropped";
    default:
      return nullptr;
  }
}

}  // namespace

bool MidiErrorText(uint16_t code, std::string& text) {
  const char* fixed = FixedText(code);
  if (fixed == nullptr) return false;
  text = fixed;
  return true;
}

}  // namespace tambrel
