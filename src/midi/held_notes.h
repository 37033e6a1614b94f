#pragma once
// The notes an output has switched on and not yet off, per channel and key, from the messages it sent.

#include <bitset>
#include <cstdint>
#include <vector>

namespace tambrel {

class THeldNotes {
 public:
  // A message that went out: a note-on holds its key, a note-off or a note-on of velocity 0 releases it.
  void Sent(const std::vector<uint8_t>& message);
  // The note-off of every held note (channel by channel, key by key); afterwards none is held.
  std::vector<std::vector<uint8_t>> TakeNoteOffs();
  bool Any() const { return Held.any(); }

 private:
  std::bitset<16 * 128> Held;  // channel * 128 + key
};

}  // namespace tambrel
