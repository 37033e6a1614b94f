// The player on the simulated clock: every instant below is exact, in milliseconds from the start.

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "player/play_clock.h"
#include "player/player.h"

namespace tambrel {
namespace {

using Instants = std::vector<double>;
using Times = std::vector<uint32_t>;

class SimulatedPlayer : public ::testing::Test {
 protected:
  TTimedBatch tambrel;  // owns the items, as a compiled Tambrel does
  // Of each delivery in turn: when it came, the item's time, its bytes (none for an end marker).
  Instants at;
  Times times;
  std::vector<std::vector<uint8_t>> bytes;
  std::vector<std::string> traces;
  const TTambrel* endSource = nullptr;
  int64_t startUs = 0;
  TSimulatedPlayClock* clock = nullptr;
  std::unique_ptr<TPlayer> player;  // goes before the items it borrows

  void SetUp() override { Fresh(); }
  // A new player and Tambrel, for each case of a table.
  void Fresh(uint32_t periodMax = TPlayTimer::NoPeriodMax) {
    player.reset();
    tambrel.Clear();
    at.clear();
    times.clear();
    bytes.clear();
    auto owned = std::make_unique<TSimulatedPlayClock>();
    clock = owned.get();
    startUs = clock->NowUs();
    player = std::make_unique<TPlayer>(std::move(owned), periodMax);
    player->OnData = [this](TPlayer&, const TTimedData& d) { Got(d.Time, {d.Data(), d.Data() + d.Count()}); };
    player->OnEnd = [this](TPlayer&, const TEndMarker& m) {
      Got(m.Time);
      endSource = m.Source;
    };
    player->OnTrace = [this](TPlayer&, const std::string& text) { traces.push_back(text); };
  }
  TTimed* Item(uint32_t time, int32_t device = 1, std::vector<uint8_t> data = {0x90}) {
    auto* item = new TTimedData(time, data.data(), static_cast<int32_t>(data.size()), device);
    tambrel.Append(item);
    return item;
  }
  // Loads the Tambrel; a stopped player is then reset, as the window's start does, so that the first
  // item is pending.
  void Load() {
    player->AddItems(&tambrel);
    if (!player->Enabled()) player->Restart();
  }
  void Start() {
    Load();
    player->SetEnabled(true);
  }
  void AdvanceMs(int64_t ms) { clock->AdvanceBy(ms * 1000); }
  void Got(uint32_t time, std::vector<uint8_t> data = {}) {
    at.push_back(static_cast<double>(clock->NowUs() - startUs) / 1000.0);
    times.push_back(time);
    bytes.push_back(std::move(data));
  }
  uint32_t Pending() {
    uint32_t time = 0;
    return player->PendingTime(time) ? time : 0xFFFFFFFF;
  }
};

TEST_F(SimulatedPlayer, StartDeliversAtOnceThenEachAfterItsOwnTime) {
  auto* source = reinterpret_cast<TTambrel*>(&tambrel);
  for (uint32_t t : {5000u, 6000u, 7500u}) Item(t);
  tambrel.Append(new TEndMarker(7500, source));
  Load();  // a stopped player: nothing is delivered yet
  player->SetEnabled(true);
  EXPECT_EQ(at, Instants{0});
  AdvanceMs(16000);  // the second is timed from position 0, as after every reset: the whole 6000 ms
  EXPECT_EQ(at, (Instants{0, 6000, 7500, 7501}));
  EXPECT_EQ(endSource, source);
  EXPECT_TRUE(player->Enabled());
}

TEST_F(SimulatedPlayer, SimultaneousItemsMergePerDeviceAndAreSpacedByPeriodMin) {
  for (const auto& [time, device] : {std::pair(0, 9), {1000, 1}, {1000, 1}, {1000, 2}, {1000, 3}, {1003, 1}})
    Item(time, device);
  Start();
  AdvanceMs(5000);
  EXPECT_EQ(at, (Instants{0, 1000, 1001, 1002, 1003}));
}

// One item holds at most 32768 bytes: the rest of one device's moment follows as further whole items.
TEST_F(SimulatedPlayer, MoreBytesThanOneItemHoldsComeAsFurtherItemsInOrder) {
  std::vector<uint8_t> all(20000 + 12768 + 5 + 32768 + 1);
  std::iota(all.begin(), all.end(), uint8_t{0});
  auto from = all.begin();
  for (int32_t size : {20000, 12768, 5, 32768, 1}) {
    Item(0, 1, {from, from + size});
    from += size;
  }
  Start();
  AdvanceMs(10);
  const auto part = [&](size_t at, size_t n) { return std::vector<uint8_t>(&all[at], &all[at] + n); };
  EXPECT_EQ(bytes, (std::vector{part(0, 32768), part(32768, 5), part(32773, 32768), part(65541, 1)}));
  EXPECT_EQ(at, (Instants{0, 1, 2, 3}));
}

// Each raised gap between equal times must not move the items after it.
TEST_F(SimulatedPlayer, TwoDevicesEvery10MsStayOnTimeFor10Seconds) {
  for (uint32_t t = 0; t <= 10000; t += 10) {
    Item(t, 1);
    Item(t, 2);
  }
  Start();
  AdvanceMs(10100);
  ASSERT_EQ(times.size(), 2002u);
  EXPECT_EQ(Instants(at.end() - 2, at.end()), (Instants{10000, 10001}));
}

TEST_F(SimulatedPlayer, RepeatNeedsTwoItemsThenStartsAgainAfterTheFirstItemsOwnTime) {
  Item(300);
  Load();
  player->SetRepeat(true);
  player->SetEnabled(true);
  EXPECT_FALSE(player->Enabled() || clock->Armed());
  player->Add(Item(1000));  // stopped: no restart
  player->SetEnabled(true);
  AdvanceMs(1000);
  EXPECT_EQ(player->Timer().Position(), 300u);  // the first is due again 300 ms later, from 0
  AdvanceMs(1000);
  EXPECT_EQ(times, (Times{300, 1000, 300, 1000}));
  EXPECT_EQ(at, (Instants{0, 1000, 1300, 2000}));
}

TEST_F(SimulatedPlayer, AfterTheLastItemItWakesOnceAMinuteAndDeliversNothing) {
  for (uint32_t t : {0u, 100u}) Item(t);
  Start();
  AdvanceMs(60100);
  EXPECT_EQ(clock->ArmedDeadlineUs() - startUs, (100 + 120000) * 1000);
  // An item added later is taken by the next wake-up and delivered PeriodMin later.
  player->Add(Item(200));
  AdvanceMs(60001);
  EXPECT_EQ(at, (Instants{0, 100, 120101}));
}

TEST_F(SimulatedPlayer, LongWaitsAreSplitAtPeriodMaxAndKeepThePosition) {
  Fresh(1000000);
  for (uint32_t t : {0u, 2500000u, 2500010u}) Item(t);
  Start();
  std::vector<std::tuple<double, uint32_t, uint32_t>> parts;  // each wait's end, what remains, position
  for (int i = 0; i < 3; ++i) {
    parts.emplace_back(static_cast<double>(clock->ArmedDeadlineUs() - startUs) / 1000.0,
                       player->Timer().Remaining(), player->Timer().Position());
    clock->AdvanceTo(clock->ArmedDeadlineUs());
  }
  EXPECT_EQ(parts, (decltype(parts){
                       {1000000, 1500000, 2500000}, {2000000, 500000, 2500000}, {2500000, 0, 2500000}}));
  AdvanceMs(10);
  EXPECT_EQ(at, (Instants{0, 2500000, 2500010}));
}

// Running, the item before the goto and the one after it come at once; stopped, the start delivers the
// item before it. Either way the item after is timed from the item before.
TEST_F(SimulatedPlayer, GotoTimeDeliversTheItemBeforeItAndTimesTheRestFromThere) {
  for (bool running : {true, false}) {
    Fresh();
    for (uint32_t t : {0u, 170000u, 185000u, 200000u}) Item(t);
    Load();
    if (running) player->SetEnabled(true);  // delivers the first item
    player->GotoTime(3 * 60000);
    if (!running) {  // nothing delivered yet: the times below would show it
      EXPECT_EQ(Pending(), 170000u);
      player->SetEnabled(true);
    }
    AdvanceMs(15000);
    EXPECT_EQ(times, (running ? Times{0, 170000, 185000, 200000} : Times{170000, 185000}));
    EXPECT_EQ(at, (running ? Instants{0, 0, 0, 15000} : Instants{0, 15000})) << "running " << running;
  }
}

// Only the adds into a running player's batch of fewer than two items restart it, in bulk as one by one.
TEST_F(SimulatedPlayer, AddingTheFirstTwoItemsToARunningPlayerRestartsEachTime) {
  for (bool bulk : {false, true}) {
    Fresh();
    player->SetEnabled(true);
    for (uint32_t t : {500u, 100u, 900u, 50u})
      if (TTimed* item = Item(t); !bulk) player->Add(item);
    if (bulk) Load();
    EXPECT_EQ(times, (Times{500, 100}));
    EXPECT_EQ(Pending(), 500u) << "bulk " << bulk;  // 50 went in below the read position
    AdvanceMs(1000);
    EXPECT_EQ(at, (Instants{0, 0, 500, 900})) << "bulk " << bulk;
  }
}

TEST_F(SimulatedPlayer, StopKeepsThePendingItemAndCancelsTheWakeUp) {
  for (uint32_t t : {0u, 1000u, 2000u}) Item(t);
  Start();
  player->SetEnabled(false);
  EXPECT_FALSE(clock->Armed());
  AdvanceMs(5000);
  player->SetEnabled(true);
  AdvanceMs(1000);
  EXPECT_EQ(at, (Instants{0, 5000, 6000}));
  EXPECT_EQ(times, (Times{0, 1000, 2000}));
  player->SetEnabled(false);
  player->Restart();
  player->Step();
  EXPECT_EQ(times.size(), 3u);  // stopped: nothing is delivered
}

// Each tick's own duration is not added to the wait it arms, and a late tick is not carried into later
// items: the ones it delayed catch up, PeriodMin apart at most.
TEST_F(SimulatedPlayer, TickDurationAndALateTickDoNotDelayLaterItems) {
  player->OnData = [this](TPlayer&, const TTimedData& d) {
    Got(d.Time);
    clock->Spend(times.size() == 2 ? 4200 : 700);  // one callback longer than the spacing
  };
  for (uint32_t t = 0; t < 10; ++t) Item(t * 2);
  Start();
  AdvanceMs(100);
  EXPECT_EQ(at, (Instants{0, 2, 6.2, 6.9, 8, 10, 12, 14, 16, 18}));
}

TEST_F(SimulatedPlayer, AFailingCallbackReachesTheCallerOrTheTraceAndPlaybackGoesOn) {
  for (uint32_t t : {0u, 10u, 20u}) Item(t);
  Load();
  player->OnData = [this](TPlayer&, const TTimedData& d) {
    Got(d.Time);
    if (d.Time < 20) throw std::runtime_error("output gone");
  };
  EXPECT_THROW(player->SetEnabled(true), std::runtime_error);  // delivered on the caller's thread
  EXPECT_FALSE(player->Enabled());
  EXPECT_EQ(Pending(), 0xFFFFFFFFu);  // the delivered item was released all the same
  player->SetEnabled(true);
  AdvanceMs(20);
  EXPECT_EQ(times, (Times{0, 10, 20}));
  EXPECT_EQ(traces, std::vector<std::string>{"Player tick failed: output gone"});
}

// Unloading another Tambrel while playing neither repeats nor skips an item; at the end of the timeline
// it leaves the end the end: nothing already played comes again without Repeat.
TEST_F(SimulatedPlayer, RemovingItemsNeitherRepeatsNorSkipsAndTheEndStaysTheEnd) {
  TTimedBatch other;
  for (uint32_t t : {5u, 15u, 25u}) other.Append(new TTimedData(t, nullptr, 0, 7));
  for (uint32_t t = 0; t < 40; t += 10) Item(t);
  Load();
  player->AddItems(&other);
  player->SetEnabled(true);
  AdvanceMs(12);  // delivered 0, 5, 10; 15 pending
  player->RemoveItems(&other);
  player->AddItems(&other);
  player->RemoveItems(&other);
  AdvanceMs(100);
  EXPECT_EQ(times, (Times{0, 5, 10, 15, 20, 30}));
  player->AddItems(&other);  // all earlier than what was taken: nothing pending
  player->RemoveItems(&other);
  AdvanceMs(180000);
  EXPECT_EQ(times.size(), 6u);
  player->SetRepeat(true);  // Repeat starts again on its own
  AdvanceMs(60000);
  EXPECT_GT(times.size(), 6u);
}

}  // namespace
}  // namespace tambrel
