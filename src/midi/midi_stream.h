// Splitting raw bytes into complete MIDI messages, as a receiver parses the wire.
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

// Number of data bytes that follow a status byte (0..2), or -1 for F0 (variable length) and for the
// undefined/terminating status bytes F4, F5, F7 that begin no message of their own.
int MidiDataLength(uint8_t status);

// The parser of one MIDI wire, fed buffer after buffer:
// - channel messages (80..EF) with running status: data bytes after a complete channel message repeat
//   its status; the status is written out in every message;
// - system common (F1, F2, F3, F6) cancel running status;
// - system exclusive F0 ... F7 is one message, also when it spans several buffers; a real-time byte
//   (F8..FF) inside it, or inside any other message, is a message of its own at the point where it stands;
// - real-time bytes do not disturb running status.
// What a receiver drops is dropped and counted: an incomplete message interrupted by a status byte, a
// data byte with no running status, a stray F7, the undefined F4 and F5, and a system exclusive block
// longer than the limit. A message still incomplete at the end of a buffer waits for the next one.
class TMidiStreamSplitter {
 public:
  // The longest system exclusive block (F0 and F7 included) that may be assembled; 0: no limit.
  void SetSysExLimit(size_t bytes) { SysExLimit = bytes; }
  // Appends the messages completed by data to out.
  void Feed(std::span<const uint8_t> data, std::vector<TMidiMessage>& out);
  // What was dropped since the last call, in words; empty when nothing was.
  std::string TakeDropReport();
  // A message has begun and is not complete yet.
  bool Pending() const { return Open; }

 private:
  void Drop(const std::vector<uint8_t>& bytes);
  void Drop(uint8_t byte) { Drop(std::vector<uint8_t>{byte}); }
  void Begin(uint8_t status, std::vector<TMidiMessage>& out);
  void Finish(std::vector<TMidiMessage>& out);

  size_t SysExLimit = 0;
  uint8_t Running = 0;   // 0: no running status
  TMidiMessage Current;  // the message being collected
  int Needed = 0;        // data bytes still missing, or -1 inside a system exclusive block
  bool Open = false;
  bool Discarding = false;  // inside a system exclusive block that grew past the limit
  size_t DroppedCount = 0;
  std::vector<uint8_t> DroppedHead;  // the first dropped bytes, for the report
  size_t LongBlocks = 0;             // system exclusive blocks dropped for their length
};

// Thrown by SplitMidiStream when the bytes are not a sequence of complete messages.
class EMidiStreamError : public std::runtime_error {
 public:
  explicit EMidiStreamError(const std::string& what) : std::runtime_error(what) {}
};

// The messages of one buffer on its own; throws EMidiStreamError when anything would be dropped or a
// message is incomplete at the end.
std::vector<TMidiMessage> SplitMidiStream(std::span<const uint8_t> data);

}  // namespace tambrel
