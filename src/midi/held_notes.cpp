#include "midi/held_notes.h"

namespace tambrel {

void THeldNotes::Sent(const std::vector<uint8_t>& message) {
  if (message.size() != 3) return;
  const uint8_t kind = message[0] & 0xF0;
  if (kind != 0x80 && kind != 0x90) return;
  const size_t index = (message[0] & 0x0F) * 128u + (message[1] & 0x7F);
  Held[index] = kind == 0x90 && message[2] != 0;
}

std::vector<std::vector<uint8_t>> THeldNotes::TakeNoteOffs() {
  std::vector<std::vector<uint8_t>> offs;
  for (size_t i = 0; i < Held.size(); ++i)
    if (Held[i]) offs.push_back({static_cast<uint8_t>(0x80 | (i / 128)), static_cast<uint8_t>(i % 128), 0});
  Held.reset();
  return offs;
}

}  // namespace tambrel
