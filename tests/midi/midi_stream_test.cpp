#include "midi/midi_stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tambrel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(MidiStreamTest, MessagesOfEveryKindInOrder) {
  const std::pair<Bytes, std::vector<Bytes>> cases[] = {
      {{0x81, 60, 0}, {{0x81, 60, 0}}},
      {{0xA2, 60, 5, 0xB3, 7, 127, 0xEF, 0, 64}, {{0xA2, 60, 5}, {0xB3, 7, 127}, {0xEF, 0, 64}}},
      {{0xC4, 12, 0xD5, 40}, {{0xC4, 12}, {0xD5, 40}}},
      {{0xF1, 0x12, 0xF2, 1, 2, 0xF3, 3, 0xF6}, {{0xF1, 0x12}, {0xF2, 1, 2}, {0xF3, 3}, {0xF6}}},
      {{0xF8, 0xF9, 0xFD, 0xFF}, {{0xF8}, {0xF9}, {0xFD}, {0xFF}}},
      // Running status, written out in every message; real-time bytes do not break it.
      {{0x90, 60, 100, 62, 100, 64, 0}, {{0x90, 60, 100}, {0x90, 62, 100}, {0x90, 64, 0}}},
      {{0xC0, 1, 2}, {{0xC0, 1}, {0xC0, 2}}},
      {{0xB0, 7, 0xF8, 100, 10, 0xFE, 20}, {{0xF8}, {0xB0, 7, 100}, {0xFE}, {0xB0, 10, 20}}},
      // A system exclusive block is one message, real-time bytes inside it go before it.
      {{0xF0, 0x43, 0xF8, 0x10, 0xFA, 0xF7, 0xC1, 5}, {{0xF8}, {0xFA}, {0xF0, 0x43, 0x10, 0xF7}, {0xC1, 5}}},
      {{0xF0, 0xF7}, {{0xF0, 0xF7}}},
      {{}, {}},
  };
  for (const auto& [in, out] : cases) {
    std::vector<Bytes> split;
    for (auto& m : SplitMidiStream(in)) split.push_back(m.Bytes);
    EXPECT_EQ(split, out) << testing::PrintToString(in);
  }
  const auto sysex = SplitMidiStream(Bytes{0xF0, 1, 0xF7, 0xF8});
  EXPECT_EQ(std::pair(sysex[0].IsSysEx, sysex[1].IsSysEx), std::pair(true, false));
}

// What a receiver drops makes a buffer on its own an error, with what was dropped in the text.
TEST(MidiStreamTest, ABufferOfBrokenMessagesDoesNotSplit) {
  const std::pair<Bytes, std::string> cases[] = {
      {{0x90, 60, 100, 0xF6, 62, 100}, "2 MIDI bytes dropped, not part of a complete message: 3E 64"},
      {{0x90, 60, 100, 0xF0, 1, 0xF7, 62}, "1 MIDI byte dropped, not part of a complete message: 3E"},
      {{0xF0, 1, 0x90, 1, 2}, "2 MIDI bytes dropped, not part of a complete message: F0 01"},
      {{0x90, 60, 100, 0x90, 60}, "incomplete MIDI message at the end"},
      {{0x40, 0xF0, 1},
       "1 MIDI byte dropped, not part of a complete message: 40; incomplete MIDI message at the end"},
      {Bytes(20, 0x40),
       "20 MIDI bytes dropped, not part of a complete message: 40 40 40 40 40 40 40 40 40 40 40 40 "
       "40 40 40 40 ..."},
  };
  for (const auto& [in, text] : cases)
    EXPECT_THAT([&] { SplitMidiStream(in); }, testing::ThrowsMessage<EMidiStreamError>(text));
}

}  // namespace
}  // namespace tambrel
