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

struct TParseCase {
  Bytes Input;
  Commands Expected;
};

const TParseCase ParseCases[] = {
    // One-byte arguments, present and missing.
    TParseCase{{1, 7}, {{C::AutoSize, 7}}}, TParseCase{{1}, {{C::AutoSize, 0}}},
    TParseCase{{2, 1}, {{C::Center, 1}}}, TParseCase{{2}, {{C::Center, 0}}},
    TParseCase{{4, 1}, {{C::Manual, 1}}}, TParseCase{{4}, {{C::Manual, 0}}},
    TParseCase{{6, 1}, {{C::Reverse, 1}}}, TParseCase{{6}, {{C::Reverse, 0}}},
    TParseCase{{7, 250}, {{C::Step, 250}}}, TParseCase{{7}, {{C::Step, 1}}},
    TParseCase{{8, 1}, {{C::Stretch, 1}}}, TParseCase{{8}, {{C::Stretch, 0}}},
    TParseCase{{9, 1}, {{C::StretchFine, 1}}}, TParseCase{{9}, {{C::StretchFine, 0}}},
    TParseCase{{10, 127}, {{C::Style, 127}}}, TParseCase{{10, 128}, {{C::Style, 127}}},
    TParseCase{{10, 255}, {{C::Style, 127}}}, TParseCase{{10}, {{C::Style, 118}}},
    TParseCase{{11, 100}, {{C::Progress, 100}}}, TParseCase{{11, 101}, {{C::Progress, 100}}},
    TParseCase{{11}, {{C::Progress, 0}}}, TParseCase{{12, 0}, {{C::ShowWindow, 0}}},
    TParseCase{{12}, {{C::ShowWindow, 1}}}, TParseCase{{13, 1}, {{C::FullScreen, 1}}},
    TParseCase{{13}, {{C::FullScreen, 0}}}, TParseCase{{14, 1}, {{C::AdvanceInOrder, 1}}},
    TParseCase{{14}, {{C::AdvanceInOrder, 0}}}, TParseCase{{15, 1}, {{C::AdvanceAtRandom, 1}}},
    TParseCase{{15}, {{C::AdvanceAtRandom, 0}}},
    // Two-byte arguments, low byte first; one byte short reads 0.
    TParseCase{{3, 0x34, 0x12}, {{C::Delay, 0x1234}}}, TParseCase{{3, 0x34}, {{C::Delay, 0}}},
    TParseCase{{3}, {{C::Delay, 0}}}, TParseCase{{5, 0xFF, 0xFF}, {{C::ShowPicture, 0xFFFF}}},
    TParseCase{{5, 4}, {{C::ShowPicture, 0}}},
    // Terminators end the sequence; what follows is ignored.
    TParseCase{{0, 1, 1}, {}}, TParseCase{{16, 1, 1}, {}}, TParseCase{{255, 1, 1}, {}},
    TParseCase{{1, 1, 0, 2, 1}, {{C::AutoSize, 1}}}, TParseCase{{12, 1, 16, 13, 1}, {{C::ShowWindow, 1}}},
    TParseCase{{}, {}},
    // Sequences: the arguments decide where the next command starts.
    TParseCase{{10, 118, 5, 3, 0}, {{C::Style, 118}, {C::ShowPicture, 3}}},
    TParseCase{{3, 20, 0, 7, 2, 12}, {{C::Delay, 20}, {C::Step, 2}, {C::ShowWindow, 1}}},
    // A zero argument byte is a value, not a terminator.
    TParseCase{{13, 0, 14, 0}, {{C::FullScreen, 0}, {C::AdvanceInOrder, 0}}}};

TEST(SlideCommandParse, ReadsArgumentsDefaultsBoundsAndTerminators) {
  for (const TParseCase& c : ParseCases) {
    std::string bytes;
    for (uint8_t b : c.Input) bytes += std::to_string(b) + " ";
    EXPECT_EQ(ParseSlideCommands(c.Input), c.Expected) << "bytes " << bytes;
  }
}

TEST(SlideCommandQueue, PostsFromAnotherThreadKeepTheirOrderAndWakeOnlyAnEmptyQueue) {
  TSlideCommandQueue queue;
  std::atomic<int> wakes{0};
  queue.SetWake([&] { ++wakes; });
  constexpr int Count = 20000;
  std::thread player([&] {
    for (int i = 0; i < Count; ++i) queue.PostBytes(ShowPictureBytes(static_cast<uint16_t>(i)));
  });
  std::vector<TSlideCommand> drained;
  while (drained.size() < Count) {
    for (const TSlideCommand& command : queue.TakeAll()) drained.push_back(command);
  }
  player.join();
  for (int i = 0; i < Count; ++i) ASSERT_EQ(drained[i].Value, i) << "at " << i;
  EXPECT_GE(wakes.load(), 1);
  EXPECT_LE(wakes.load(), Count);
}

TEST(SlideCommandQueue, AnEntryOutlivesItsWindowAndADetachedQueueWakesNothing) {
  auto queue = std::make_shared<TSlideCommandQueue>();
  int wakes = 0;
  queue->SetWake([&] { ++wakes; });
  auto entry = SlideEntryFor(queue);
  queue->SetWake({});
  queue.reset();  // the window is gone; the player may still call its entry
  const Bytes bytes{12, 1};
  entry(bytes);
  EXPECT_EQ(wakes, 0);
}

}  // namespace
}  // namespace tambrel
