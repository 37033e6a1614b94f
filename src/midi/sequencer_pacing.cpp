#include "midi/sequencer_pacing.h"

#include <algorithm>

namespace tambrel {

namespace {

constexpr int64_t NsPerByte = 1000000000 / WireBytesPerSecond;

bool HasNoEvent(const std::vector<uint8_t>& message) {
  return message.size() == 1 && (message[0] == 0xF9 || message[0] == 0xFD);
}

}  // namespace

int64_t TSequencerPacing::Schedule(size_t bytes, int64_t nowNs) {
  if (!Paced) return nowNs;
  const int64_t sendAt = std::max(nowNs, WireFreeNs - WireAheadBytes * NsPerByte);
  WireFreeNs = std::max(WireFreeNs, sendAt) + static_cast<int64_t>(bytes) * NsPerByte;
  return sendAt;
}

std::vector<TSequencerEvent> TSequencerPacing::Encode(const std::vector<std::vector<uint8_t>>& messages,
                                                      int64_t nowNs) {
  std::vector<TSequencerEvent> events;
  for (const std::vector<uint8_t>& message : messages) {
    if (message.empty() || HasNoEvent(message)) continue;
    if (message[0] != 0xF0) {
      events.push_back({message, false, Schedule(message.size(), nowNs)});
      continue;
    }
    for (size_t at = 0; at < message.size(); at += SysExChunkBytes) {
      const size_t end = std::min(message.size(), at + SysExChunkBytes);
      std::vector<uint8_t> chunk(message.begin() + static_cast<std::ptrdiff_t>(at),
                                 message.begin() + static_cast<std::ptrdiff_t>(end));
      const int64_t sendAt = Schedule(chunk.size(), nowNs);
      events.push_back({std::move(chunk), true, sendAt});
    }
  }
  return events;
}

}  // namespace tambrel
