#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace tambrel {

namespace {

// Codes above this many distinct backend texts share MidiErrGeneral: a backend that puts changing
// numbers into its texts must not grow the table without end.
constexpr size_t MaxDynamicTexts = 256;

std::mutex TextsLock;
std::vector<std::string> DynamicTexts;  // guarded by TextsLock; code = MidiErrFirstDynamic + index

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
    default:
      return nullptr;
  }
}

}  // namespace

TMidiErrorTexts& TMidiErrorTexts::Global() {
  static TMidiErrorTexts texts;
  return texts;
}

uint16_t TMidiErrorTexts::CodeFor(const std::string& text) {
  std::lock_guard<std::mutex> lock(TextsLock);
  for (size_t i = 0; i < DynamicTexts.size(); ++i)
    if (DynamicTexts[i] == text) return static_cast<uint16_t>(MidiErrFirstDynamic + i);
  if (DynamicTexts.size() >= MaxDynamicTexts) return MidiErrGeneral;
  DynamicTexts.push_back(text);
  return static_cast<uint16_t>(MidiErrFirstDynamic + DynamicTexts.size() - 1);
}

bool TMidiErrorTexts::TextOf(uint16_t code, std::string& text) {
  if (const char* fixed = FixedText(code)) {
    text = fixed;
    return true;
  }
  std::lock_guard<std::mutex> lock(TextsLock);
  if (code < MidiErrFirstDynamic || static_cast<size_t>(code - MidiErrFirstDynamic) >= DynamicTexts.size())
    return false;
  text = DynamicTexts[code - MidiErrFirstDynamic];
  return true;
}

}  // namespace tambrel
