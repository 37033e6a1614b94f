#pragma once
// How the messages of an output become ALSA sequencer events and when each may go. A system exclusive
// block goes in chunks of at most SysExChunkBytes, since one long event is lost by hardware ports beyond
// the card's buffer and refused by software synthesizers beyond their input pool. Towards a kernel
// (hardware) destination the events are paced at the MIDI wire's rate, with a little buffered ahead,
// so that the card's buffer never overflows. F9 and FD, undefined real-time bytes, have no event: they
// are dropped as a receiver drops them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tambrel {

constexpr size_t SysExChunkBytes = 256;
constexpr int64_t WireBytesPerSecond = 3125;
// How far the events may be ahead of the wire towards a kernel destination (its buffer holds about 4 KB).
constexpr int64_t WireAheadBytes = 1024;

struct TSequencerEvent {
  std::vector<uint8_t> Bytes;  // one short message, or one chunk of a system exclusive block
  bool SysExChunk = false;
  int64_t SendAtNs = 0;  // on the steady clock
};

class TSequencerPacing {
 public:
  explicit TSequencerPacing(bool toKernelPort) : Paced(toKernelPort) {}
  // The events of messages, in order, the first due at nowNs at the earliest.
  std::vector<TSequencerEvent> Encode(const std::vector<std::vector<uint8_t>>& messages, int64_t nowNs);

 private:
  int64_t Schedule(size_t bytes, int64_t nowNs);
  const bool Paced;
  int64_t WireFreeNs = 0;  // when the wire will have carried everything scheduled so far
};

}  // namespace tambrel
