// Splitting a raw byte buffer into complete MIDI messages, as a receiver would parse the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tambrel {

// One complete message: its bytes exactly as they are to be sent (a running-status message gets its
// status byte written out, since each message travels as one event of its own).
struct TMidiMessage {
  std::vector<uint8_t> Bytes;
  bool IsSysEx = false;  // F0 ... F7 (the F0 and F7 included in Bytes)
};

// Thrown when the buffer cannot be split into complete messages. Offset is the index in the buffer of
// the first byte of the offending message.
class EMidiStreamError : public std::runtime_error {
 public:
  EMidiStreamError(const std::string& what, size_t offset) : std::runtime_error(what), Offset(offset) {}
  size_t Offset;
};

// Number of data bytes that follow a status byte (0..2), or -1 for F0 (variable length) and for the
// undefined/terminating status bytes F4, F5, F7 that begin no message of their own.
int MidiDataLength(uint8_t status);

// Splits data into messages, in the order they stand:
// - channel messages (80..EF) with running status: data bytes after a complete channel message repeat
//   its status; the status is written out in every returned message;
// - system common (F1, F2, F3, F6) cancel running status;
// - system exclusive F0 ... F7 is one message; a real-time byte (F8..FF) inside it, or inside any other
//   message, is returned as a message of its own at the point where it stands (before the message it
//   interrupts, as a receiver would act on it);
// - real-time bytes do not disturb running status.
// Errors (EMidiStreamError, nothing is partly returned): a data byte with no running status, a status
// byte inside an unfinished message (other than real-time), a stray F7 or an undefined F4/F5 status,
// and a trailing incomplete message ("Incomplete MIDI message at end of buffer").
std::vector<TMidiMessage> SplitMidiStream(std::span<const uint8_t> data);

}  // namespace tambrel
