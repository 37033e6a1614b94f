#include "slides/slide_commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "slides/slide_command_queue.h"

namespace tambrel {
namespace {

using C = TSlideCommandCode;
using Bytes = std::vector<uint8_t>;
using Commands = std::vector<TSlideCommand>;

TEST(SlideCommandParse, ReadsArgumentsDefaultsBoundsAndTerminators) {
  // Each one-byte command with its argument and without it (its default).
  const std::tuple<uint8_t, C, uint16_t> oneByte[] = {
      {1, C::AutoSize, 0},        {2, C::Center, 0},      {4, C::Manual, 0},
      {6, C::Reverse, 0},         {7, C::Step, 1},        {8, C::Stretch, 0},
      {9, C::StretchFine, 0},     {10, C::Style, 118},    {11, C::Progress, 0},
      {12, C::ShowWindow, 1},     {13, C::FullScreen, 0}, {14, C::AdvanceInOrder, 0},
      {15, C::AdvanceAtRandom, 0}};
  for (const auto& [code, command, fallback] : oneByte) {
    EXPECT_EQ(ParseSlideCommands(Bytes{code, 1}), (Commands{{command, 1}})) << int(code);
    EXPECT_EQ(ParseSlideCommands(Bytes{code}), (Commands{{command, fallback}})) << int(code);
  }
  const std::pair<Bytes, Commands> cases[] = {
      // Bounds of the style and the progress.
      {{10, 128}, {{C::Style, 127}}},
      {{10, 255}, {{C::Style, 127}}},
      {{11, 101}, {{C::Progress, 100}}},
      {{12, 0}, {{C::ShowWindow, 0}}},
      {{7, 250}, {{C::Step, 250}}},
      // Two-byte arguments, low byte first; one byte short reads 0.
      {{3, 0x34, 0x12}, {{C::Delay, 0x1234}}},
      {{3, 0x34}, {{C::Delay, 0}}},
      {{3}, {{C::Delay, 0}}},
      {{5, 0xFF, 0xFF}, {{C::ShowPicture, 0xFFFF}}},
      {{5, 4}, {{C::ShowPicture, 0}}},
      // Terminators end the sequence; what follows is ignored.
      {{0, 1, 1}, {}},
      {{16, 1, 1}, {}},
      {{255, 1, 1}, {}},
      {{1, 1, 0, 2, 1}, {{C::AutoSize, 1}}},
      {{12, 1, 16, 13, 1}, {{C::ShowWindow, 1}}},
      {{}, {}},
      // Sequences: the arguments decide where the next command starts; a zero byte is a value.
      {{3, 20, 0, 7, 2, 12}, {{C::Delay, 20}, {C::Step, 2}, {C::ShowWindow, 1}}},
      {{13, 0, 14, 0}, {{C::FullScreen, 0}, {C::AdvanceInOrder, 0}}}};
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(ParseSlideCommands(input), expected) << ::testing::PrintToString(input);
}

// The player posts through the window's entry from a thread of its own.
TEST(SlideCommandQueue, PostsFromAnotherThreadKeepTheirOrderAndWakeOnlyAnEmptyQueue) {
  auto queue = std::make_shared<TSlideCommandQueue>();
  std::atomic<int> wakes{0};
  queue->SetWake([&] { ++wakes; });
  auto entry = SlideEntryFor(queue);
  constexpr int Count = 20000;
  std::thread player([&] {
    for (int i = 0; i < Count; ++i) entry(ShowPictureBytes(static_cast<uint16_t>(i)));
  });
  std::vector<TSlideCommand> drained;
  while (drained.size() < Count) {
    for (const TSlideCommand& command : queue->TakeAll()) drained.push_back(command);
  }
  player.join();
  for (int i = 0; i < Count; ++i) ASSERT_EQ(drained[i].Value, i) << "at " << i;
  EXPECT_GE(wakes.load(), 1);
  EXPECT_LE(wakes.load(), Count);
  // The window goes and detaches its queue; the player may still call its entry, which wakes nothing.
  queue->SetWake({});
  queue.reset();
  const int before = wakes.load();
  entry(ShowPictureBytes(1));
  EXPECT_EQ(wakes.load(), before);
}

}  // namespace
}  // namespace tambrel
