#include "midi/sequencer_pacing.h"

#include <gtest/gtest.h>

namespace tambrel {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int64_t Ms = 1000000;

Bytes SysEx(size_t length) {
  Bytes block(length, 0x11);
  block.front() = 0xF0;
  block.back() = 0xF7;
  return block;
}

TEST(SequencerPacingTest, LongBlocksGoInChunksAndUndefinedRealTimeBytesHaveNoEvent) {
  const Bytes block = SysEx(600);
  const auto events =
      TSequencerPacing(false).Encode({{0x90, 60, 100}, {0xF9}, block, {0xFD}, {0xF8}}, 5 * Ms);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(std::pair(events[0].Bytes, events[0].SysExChunk), std::pair(Bytes{0x90, 60, 100}, false));
  Bytes joined;
  for (size_t i = 1; i <= 3; ++i) {
    EXPECT_TRUE(events[i].SysExChunk);
    EXPECT_LE(events[i].Bytes.size(), SysExChunkBytes);
    joined.insert(joined.end(), events[i].Bytes.begin(), events[i].Bytes.end());
  }
  EXPECT_EQ(joined, block);
  EXPECT_EQ(events[4].Bytes, (Bytes{0xF8}));
  // A software destination takes everything at once.
  for (const auto& e : events) EXPECT_EQ(e.SendAtNs, 5 * Ms);
}

// Towards a hardware port the chunks follow the wire rate once the card's allowance is used up; a
// short burst goes at once, and a pause lets the wire catch up.
TEST(SequencerPacingTest, KernelDestinationsArePacedAtTheWireRate) {
  TSequencerPacing pacing(true);
  const auto burst = pacing.Encode({{0x90, 60, 100}, {0x90, 62, 100}, {0x90, 64, 100}}, 0);
  for (const auto& e : burst) EXPECT_EQ(e.SendAtNs, 0);
  const auto events = pacing.Encode({SysEx(4096)}, 0);
  ASSERT_EQ(events.size(), 16u);
  const int64_t perByte = 1000000000 / WireBytesPerSecond;
  int64_t wire = 9 * perByte;  // the three notes
  for (const auto& e : events) {
    EXPECT_EQ(e.SendAtNs, std::max<int64_t>(0, wire - WireAheadBytes * perByte));
    wire = std::max(wire, e.SendAtNs) + static_cast<int64_t>(e.Bytes.size()) * perByte;
  }
  EXPECT_GT(events.back().SendAtNs, 900 * Ms);  // 4 KB take 1.3 s on the wire
  EXPECT_EQ(pacing.Encode({{0x80, 60, 0}}, 10000 * Ms).at(0).SendAtNs, 10000 * Ms);
}

}  // namespace
}  // namespace tambrel
