#include "midi/midi_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tambrel {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Split(const Bytes& in) {
  std::vector<Bytes> out;
  for (auto& m : SplitMidiStream(in)) out.push_back(m.Bytes);
  return out;
}

TEST(MidiStreamTest, EveryStatusKindHasItsLength) {
  EXPECT_EQ(Split({0x90, 60, 100}), (std::vector<Bytes>{{0x90, 60, 100}}));
  EXPECT_EQ(Split({0x81, 60, 0}), (std::vector<Bytes>{{0x81, 60, 0}}));
  EXPECT_EQ(Split({0xA2, 60, 5}), (std::vector<Bytes>{{0xA2, 60, 5}}));
  EXPECT_EQ(Split({0xB3, 7, 127}), (std::vector<Bytes>{{0xB3, 7, 127}}));
  EXPECT_EQ(Split({0xC4, 12}), (std::vector<Bytes>{{0xC4, 12}}));
  EXPECT_EQ(Split({0xD5, 40}), (std::vector<Bytes>{{0xD5, 40}}));
  EXPECT_EQ(Split({0xEF, 0, 64}), (std::vector<Bytes>{{0xEF, 0, 64}}));
  EXPECT_EQ(Split({0xF1, 0x12}), (std::vector<Bytes>{{0xF1, 0x12}}));
  EXPECT_EQ(Split({0xF2, 1, 2}), (std::vector<Bytes>{{0xF2, 1, 2}}));
  EXPECT_EQ(Split({0xF3, 3}), (std::vector<Bytes>{{0xF3, 3}}));
  EXPECT_EQ(Split({0xF6}), (std::vector<Bytes>{{0xF6}}));
  for (int rt = 0xF8; rt <= 0xFF; ++rt) {
    EXPECT_EQ(Split({static_cast<uint8_t>(rt)}), (std::vector<Bytes>{{static_cast<uint8_t>(rt)}})) << rt;
  }
  EXPECT_TRUE(Split({}).empty());
}

TEST(MidiStreamTest, RunningStatusIsWrittenOutPerMessage) {
  EXPECT_EQ(Split({0x90, 60, 100, 62, 100, 64, 0}),
            (std::vector<Bytes>{{0x90, 60, 100}, {0x90, 62, 100}, {0x90, 64, 0}}));
  EXPECT_EQ(Split({0xC0, 1, 2, 3}), (std::vector<Bytes>{{0xC0, 1}, {0xC0, 2}, {0xC0, 3}}));
  // A real-time byte neither breaks running status nor the message it interrupts.
  EXPECT_EQ(Split({0xB0, 7, 0xF8, 100, 10, 0xFE, 20}),
            (std::vector<Bytes>{{0xF8}, {0xB0, 7, 100}, {0xFE}, {0xB0, 10, 20}}));
}

TEST(MidiStreamTest, SystemMessagesCancelRunningStatus) {
  EXPECT_THROW(Split({0x90, 60, 100, 0xF6, 62, 100}), EMidiStreamError);
  EXPECT_THROW(Split({0x90, 60, 100, 0xF0, 1, 0xF7, 62, 100}), EMidiStreamError);
  EXPECT_THROW(Split({60, 100}), EMidiStreamError);
}

TEST(MidiStreamTest, SysExIsOneMessageWithRealTimeInside) {
  const auto msgs = SplitMidiStream(Bytes{0xF0, 0x43, 0xF8, 0x10, 0x4C, 0xFA, 0xF7, 0xC1, 5});
  ASSERT_EQ(msgs.size(), 4u);
  EXPECT_EQ(msgs[0].Bytes, Bytes{0xF8});
  EXPECT_FALSE(msgs[0].IsSysEx);
  EXPECT_EQ(msgs[1].Bytes, Bytes{0xFA});
  EXPECT_EQ(msgs[2].Bytes, (Bytes{0xF0, 0x43, 0x10, 0x4C, 0xF7}));
  EXPECT_TRUE(msgs[2].IsSysEx);
  EXPECT_EQ(msgs[3].Bytes, (Bytes{0xC1, 5}));
  EXPECT_EQ(Split({0xF0, 0xF7}), (std::vector<Bytes>{{0xF0, 0xF7}}));
}

TEST(MidiStreamTest, SeveralMessagesInOrderLoseNothing) {
  const Bytes in{0x90, 60, 100, 0xF0, 1, 2, 3, 0xF7, 0xB0, 64, 127, 0xC0, 9, 0xF2, 0, 8, 0x80, 60, 0};
  size_t total = 0;
  std::vector<Bytes> got = Split(in);
  ASSERT_EQ(got.size(), 6u);
  Bytes joined;
  for (auto& m : got) {
    total += m.size();
    joined.insert(joined.end(), m.begin(), m.end());
  }
  EXPECT_EQ(total, in.size());
  EXPECT_EQ(joined, in);
}

TEST(MidiStreamTest, TruncatedAndMalformedBuffersAreErrors) {
  auto errorOf = [](const Bytes& in) -> std::string {
    try {
      SplitMidiStream(in);
    } catch (const EMidiStreamError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(errorOf({0x90, 60, 100, 0x90, 60}),
            "Incomplete MIDI message at end of buffer (starting with byte 90 at offset 3)");
  EXPECT_EQ(errorOf({0x90, 60, 100, 61}),
            "Incomplete MIDI message at end of buffer (starting with byte 3D at offset 3)");
  EXPECT_EQ(errorOf({0xF0, 1, 2}),
            "Incomplete MIDI message at end of buffer (starting with byte F0 at offset 0)");
  EXPECT_EQ(errorOf({0xF2, 1, 0xF8}),
            "Incomplete MIDI message at end of buffer (starting with byte F2 at offset 0)");
  EXPECT_EQ(errorOf({0x90, 60, 0x80, 60, 0}),
            "Status byte inside an unfinished MIDI message (byte 80 at offset 2)");
  EXPECT_EQ(errorOf({0xF0, 1, 0x90, 0xF7}),
            "Status byte inside a system exclusive message (byte 90 at offset 2)");
  EXPECT_EQ(errorOf({0xF7}), "Undefined or stray MIDI status byte (byte F7 at offset 0)");
  EXPECT_EQ(errorOf({0xF4}), "Undefined or stray MIDI status byte (byte F4 at offset 0)");
  EXPECT_EQ(errorOf({0x40}), "MIDI data byte without a status byte (byte 40 at offset 0)");
  try {
    SplitMidiStream(Bytes{0xC0, 1, 0xF3});
    FAIL();
  } catch (const EMidiStreamError& e) {
    EXPECT_EQ(e.Offset, 2u);
  }
}

}  // namespace
}  // namespace tambrel
