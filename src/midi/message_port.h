#pragma once
// What every system's output port does the same way: a short message becomes its bytes, a long buffer
// its complete messages, and each system only sends a list of complete messages.

#include <cstdint>
#include <memory>
#include <vector>

#include "midi/midi_service.h"

namespace tambrel {

// The bytes of a packed short message (only those its status needs); false when the status begins no
// message of its own.
bool UnpackShort(uint32_t packed, std::vector<uint8_t>& bytes);

class TMessagePort : public TMidiOutPort {
 public:
  explicit TMessagePort(TMidiDoneCallback done) : Done(std::move(done)) {}
  TMidiResult ShortMsg(uint32_t packed) final;
  // The messages leave the caller's buffer when they are handed to the system, so the buffer is
  // complete as soon as Send accepted them.
  TMidiResult LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) final;

 protected:
  // Sends all of the messages, in order, one event each; on failure none of them should have gone.
  virtual TMidiResult Send(const std::vector<std::vector<uint8_t>>& messages) = 0;
  // Also for the backend's own failure notice (null buffer) when the system goes away.
  const TMidiDoneCallback Done;
};

}  // namespace tambrel
