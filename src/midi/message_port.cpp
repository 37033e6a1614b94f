#include "midi/message_port.h"

#include <utility>

#include "midi/midi_stream.h"

namespace tambrel {

uint16_t SplitForSending(const std::vector<uint8_t>& data, std::vector<std::vector<uint8_t>>& messages) {
  messages.clear();
  try {
    for (TMidiMessage& m : SplitMidiStream(data)) messages.push_back(std::move(m.Bytes));
  } catch (const EMidiStreamError& e) {
    messages.clear();
    return TMidiErrorTexts::Global().CodeFor(e.what());
  }
  return MidiErrNone;
}

uint16_t UnpackShort(uint32_t packed, std::vector<uint8_t>& bytes) {
  const uint8_t status = packed & 0xFF;
  const int length = MidiDataLength(status);
  if (length < 0) return MidiErrInvalidParam;
  bytes = {status};
  if (length >= 1) bytes.push_back((packed >> 8) & 0x7F);
  if (length >= 2) bytes.push_back((packed >> 16) & 0x7F);
  return MidiErrNone;
}

uint16_t TMessagePort::ShortMsg(uint32_t packed) {
  std::vector<std::vector<uint8_t>> messages(1);
  const uint16_t code = UnpackShort(packed, messages[0]);
  return code != MidiErrNone ? code : Send(messages);
}

uint16_t TMessagePort::LongMsg(std::unique_ptr<TMidiLongBuffer>& buffer) {
  std::vector<std::vector<uint8_t>> messages;
  uint16_t code = SplitForSending(buffer->Data, messages);
  if (code == MidiErrNone) code = Send(messages);
  if (code == MidiErrNone) Done(std::move(buffer), MidiErrNone);
  return code;
}

}  // namespace tambrel
