#include "midi/message_port.h"

#include <utility>

#include "midi/midi_stream.h"

namespace tambrel {

bool UnpackShort(uint32_t packed, std::vector<uint8_t>& bytes) {
  const uint8_t status = packed & 0xFF;
  const int length = MidiDataLength(status);
  if (length < 0) return false;
  bytes = {status};
  if (length >= 1) bytes.push_back((packed >> 8) & 0x7F);
  if (length >= 2) bytes.push_back((packed >> 16) & 0x7F);
  return true;
}

TMidiResult TMessagePort::ShortMsg(uint32_t packed) {
  std::vector<std::vector<uint8_t>> messages(1);
  if (!UnpackShort(packed, messages[0])) return MidiErrInvalidParam;
  return Send(messages);
}

TMidiResult TMessagePort::LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) {
  TMidiResult result = Send(buffer->Messages);
  if (result.Ok()) Done(std::move(buffer), MidiErrNone);
  return result;
}

}  // namespace tambrel
