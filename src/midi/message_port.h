#pragma once
// What every system's output port does the same way: a short message becomes its bytes, a long buffer
// becomes the complete messages it holds, and each system only sends a list of complete messages.

#include <cstdint>
#include <memory>
#include <vector>

#include "midi/midi_service.h"

namespace tambrel {

// Splits a long buffer into the messages a backend sends one event each; a buffer that does not split
// (truncated message, stray byte) gives a code whose text says why, and nothing is sent.
uint16_t SplitForSending(const std::vector<uint8_t>& data, std::vector<std::vector<uint8_t>>& messages);
// The bytes of a packed short message (only those its status needs), or a code when the status is bad.
uint16_t UnpackShort(uint32_t packed, std::vector<uint8_t>& bytes);

class TMessagePort : public TMidiOutPort {
 public:
  explicit TMessagePort(TMidiDoneCallback done) : Done(std::move(done)) {}
  uint16_t ShortMsg(uint32_t packed) final;
  // The messages leave the caller's buffer when they are handed to the system, so the buffer is
  // complete as soon as Send accepted them.
  uint16_t LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) final;

 protected:
  // Sends all of the messages, in order, one event each; on failure none of them should have gone.
  virtual uint16_t Send(const std::vector<std::vector<uint8_t>>& messages) = 0;
  // Also for the backend's own failure notice (null buffer) when the system goes away.
  const TMidiDoneCallback Done;
};

}  // namespace tambrel
