// The player on the real clock and timer thread. Nothing here asserts how soon anything happens:
// the waits are generous upper bounds for a loaded machine, only order and counts are checked.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "player/player.h"

namespace tambrel {
namespace {

using namespace std::chrono_literals;

TEST(RealtimePlayer, DestroyedWhileWaitingOrPlaying) {
  TTimedBatch tambrel;
  for (uint32_t t : {0u, 1u, 3600000u}) tambrel.Append(new TTimedData(t, nullptr, 0, 1));
  for (int round = 0; round < 20; ++round) {
    auto player = std::make_unique<TPlayer>();
    player->OnData = [](TPlayer&, const TTimedData&) {};
    player->AddItems(&tambrel);
    player->SetEnabled(true);
    if (round % 2 == 0) std::this_thread::sleep_for(5ms);  // let the timer thread into its hour-long wait
    // With the items still loaded: the player only borrows them, and tambrel frees them at the end.
    player.reset();  // joins the timer thread; a hang here fails the test by its time-out
  }
}

// Batches come and go on one thread while the player runs on its timer thread, and play is stopped and
// started once; every item of the batch that stays loaded is delivered exactly once, in order.
TEST(RealtimePlayer, LoadingAndUnloadingDuringPlayLosesAndRepeatsNothing) {
  constexpr int32_t steadyCount = 1500;
  TTimedBatch steady;
  for (int32_t i = 0; i < steadyCount; ++i)
    steady.Append(new TTimedData(static_cast<uint32_t>(i), nullptr, 0, i));
  steady.Append(new TEndMarker(steadyCount, nullptr));
  TTimedBatch noise;
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) noise.Append(new TTimedData(random() % steadyCount, nullptr, 0, -1 - i));

  std::mutex mutex;
  std::vector<int32_t> devices;  // guarded by mutex
  std::promise<void> endReached;
  TPlayer player;
  player.OnData = [&](TPlayer&, const TTimedData& d) {
    std::lock_guard<std::mutex> guard(mutex);
    devices.push_back(d.Device);
  };
  player.OnEnd = [&](TPlayer&, const TEndMarker&) { endReached.set_value(); };
  player.AddItems(&steady);
  player.SetEnabled(true);
  std::atomic<bool> done{false};
  std::thread loader([&] {
    while (!done) {
      player.AddItems(&noise);
      std::this_thread::yield();
      player.RemoveItems(&noise);
    }
  });
  std::this_thread::sleep_for(300ms);
  player.SetEnabled(false);
  std::this_thread::sleep_for(5ms);
  player.SetEnabled(true);
  const bool ended = endReached.get_future().wait_for(60s) == std::future_status::ready;
  done = true;
  loader.join();
  ASSERT_TRUE(ended);
  player.SetEnabled(false);
  std::vector<int32_t> expected(steadyCount);
  std::iota(expected.begin(), expected.end(), 0);
  std::lock_guard<std::mutex> guard(mutex);
  std::erase_if(devices, [](int32_t device) { return device < 0; });  // the noise's
  EXPECT_EQ(devices, expected);
}

}  // namespace
}  // namespace tambrel
