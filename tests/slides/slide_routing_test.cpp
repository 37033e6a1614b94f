// The routing unit's slide route: a data item for the slide device reaches the slide command queue
// from the player's thread.

#include <gtest/gtest.h>

#include <thread>

#include "app/output_routing.h"
#include "silent_output_port.h"
#include "slides/slide_command_queue.h"

namespace tambrel {
namespace {

TEST(SlideRouting, AnItemForTheSlideDeviceIsPostedAsCommands) {
  std::array<TSilentOutputPort, 4> ports;
  TOutputRouting routing({&ports[0], &ports[1], &ports[2], &ports[3]});
  auto queue = std::make_shared<TSlideCommandQueue>();
  routing.OnSlideBytes = SlideEntryFor(queue);
  routing.SetSlidesDevice(5);
  const std::vector<uint8_t> bytes{10, 118, 5, 3, 0};
  auto play = [&](int32_t device) {
    std::thread player([&] { routing.PlayerData({1000, device, bytes, {}}); });
    player.join();
  };
  play(5);
  EXPECT_TRUE(queue->TakeAll().empty()) << "the slide device is off";
  routing.SetSlidesActive(true);
  play(4);
  EXPECT_TRUE(queue->TakeAll().empty()) << "another device";
  play(5);
  EXPECT_EQ(queue->TakeAll(), (std::vector<TSlideCommand>{{TSlideCommandCode::Style, 118},
                                                          {TSlideCommandCode::ShowPicture, 3}}));
}

}  // namespace
}  // namespace tambrel
