#include "midi/midi_stream.h"

#include "support/text_format.h"

namespace tambrel {

int MidiDataLength(uint8_t status) {
  if (status < 0x80) return -1;
  if (status < 0xF0) {
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
  }
  switch (status) {
    case 0xF1:
      return 1;  // time code quarter frame
    case 0xF2:
      return 2;  // song position
    case 0xF3:
      return 1;  // song select
    case 0xF6:
      return 0;  // tune request
    case 0xF0:
    case 0xF4:
    case 0xF5:
    case 0xF7:
      return -1;
    default:
      return 0;  // real-time F8..FF
  }
}

namespace {

bool IsRealTime(uint8_t b) {
  return b >= 0xF8;
}

EMidiStreamError StreamError(const char* what, uint8_t byte, size_t offset) {
  return EMidiStreamError(
      StrFormat("%s (byte %02X at offset %zu)", what, static_cast<unsigned>(byte), offset), offset);
}

}  // namespace

std::vector<TMidiMessage> SplitMidiStream(std::span<const uint8_t> data) {
  std::vector<TMidiMessage> out;
  uint8_t running = 0;      // 0 = no running status
  TMidiMessage current;     // message being collected
  size_t currentStart = 0;  // offset of its first byte in data
  int needed = 0;           // data bytes still missing (>0), or -1 while inside a sysex
  bool open = false;

  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t b = data[i];
    if (IsRealTime(b)) {
      out.push_back(TMidiMessage{{b}, false});
      continue;
    }
    if (open) {
      if (needed < 0) {  // inside sysex
        if (b == 0xF7) {
          current.Bytes.push_back(b);
          out.push_back(std::move(current));
          current = TMidiMessage{};
          open = false;
        } else if (b & 0x80) {
          throw StreamError("Status byte inside a system exclusive message", b, i);
        } else {
          current.Bytes.push_back(b);
        }
        continue;
      }
      if (b & 0x80) throw StreamError("Status byte inside an unfinished MIDI message", b, i);
      current.Bytes.push_back(b);
      if (--needed == 0) {
        out.push_back(std::move(current));
        current = TMidiMessage{};
        open = false;
      }
      continue;
    }
    // Start of a new message.
    currentStart = i;
    if (!(b & 0x80)) {
      if (running == 0) throw StreamError("MIDI data byte without a status byte", b, i);
      current.Bytes = {running, b};
      needed = MidiDataLength(running) - 1;
    } else if (b == 0xF0) {
      running = 0;
      current.Bytes = {b};
      current.IsSysEx = true;
      needed = -1;
      open = true;
      continue;
    } else {
      const int len = MidiDataLength(b);
      if (len < 0) throw StreamError("Undefined or stray MIDI status byte", b, i);
      running = b < 0xF0 ? b : 0;
      current.Bytes = {b};
      needed = len;
    }
    if (needed == 0) {
      out.push_back(std::move(current));
      current = TMidiMessage{};
    } else {
      open = true;
    }
  }
  if (open) {
    throw EMidiStreamError(
        StrFormat("Incomplete MIDI message at end of buffer (starting with byte %02X at offset %zu)",
                  static_cast<unsigned>(data[currentStart]), currentStart),
        currentStart);
  }
  return out;
}

}  // namespace tambrel
