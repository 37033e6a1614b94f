#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/play_clock.h"
#include "player/player.h"

namespace tambrel {
namespace {

constexpr int64_t Ms = 1000;  // the simulated clock counts microseconds

struct Delivery {
  int64_t AtUs;  // relative to the fixture's start instant
  uint32_t Time;
  int32_t Device;  // -1 for an end marker
  std::vector<uint8_t> Bytes;
  bool operator==(const Delivery&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Delivery& d) {
  return out << "{at " << d.AtUs << "us, time " << d.Time << ", device " << d.Device << "}";
}

class SimulatedPlayer : public ::testing::Test {
 protected:
  TSimulatedPlayClock* clock = nullptr;
  std::unique_ptr<TPlayer> player;
  TTimedBatch tambrel;  // owns the items, as a compiled Tambrel does
  std::vector<Delivery> got;
  std::vector<std::string> traces;
  int64_t startUs = 0;
  int64_t tickCostUs = 0;  // simulated duration of each data callback

  void Make(uint32_t periodMax = TPlayTimer::NoPeriodMax) {
    auto owned = std::make_unique<TSimulatedPlayClock>();
    clock = owned.get();
    startUs = clock->NowUs();
    player = std::make_unique<TPlayer>(std::move(owned), periodMax);
    player->OnData = [this](TPlayer&, const TTimedData& d) {
      got.push_back({clock->NowUs() - startUs, d.Time, d.Device, {d.Data(), d.Data() + d.Count()}});
      clock->Spend(tickCostUs);
    };
    player->OnEnd = [this](TPlayer&, const TEndMarker& m) {
      got.push_back({clock->NowUs() - startUs, m.Time, -1, {}});
    };
    player->OnTrace = [this](TPlayer&, const std::string& text) { traces.push_back(text); };
  }
  void SetUp() override { Make(); }
  void TearDown() override {
    if (!player) return;
    player->SetEnabled(false);
    player->OnData = nullptr;
    player->OnEnd = nullptr;
    player->OnTrace = nullptr;
    player.reset();
  }
  TTimed* Item(uint32_t time, int32_t device = 1, std::vector<uint8_t> bytes = {0x90}) {
    auto* item = new TTimedData(time, bytes.data(), static_cast<int32_t>(bytes.size()), device);
    tambrel.Append(item);
    return item;
  }
  // Loads the Tambrel; a stopped player is then reset, as the window's start does, so that the first
  // item is pending.
  void Load() {
    player->AddItems(&tambrel);
    if (!player->Enabled()) player->Restart();
  }
  void AdvanceMs(int64_t ms) { clock->AdvanceBy(ms * Ms); }
  std::vector<int64_t> Instants() const {
    std::vector<int64_t> at;
    for (const auto& d : got) at.push_back(d.AtUs);
    return at;
  }
};

TEST_F(SimulatedPlayer, StartDeliversAtOnceThenOnTime) {
  Item(0);
  Item(1000);
  Item(2500);
  Load();
  EXPECT_TRUE(got.empty());  // loading a stopped player delivers nothing
  player->SetEnabled(true);
  EXPECT_EQ(Instants(), std::vector<int64_t>{0});
  AdvanceMs(999);
  EXPECT_EQ(got.size(), 1u);
  AdvanceMs(10000);
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 1000 * Ms, 2500 * Ms}));
  EXPECT_TRUE(player->Enabled());
}

TEST_F(SimulatedPlayer, FirstItemLateOnTheTimelineStillComesAtStart) {
  Item(5000);
  Item(6000);
  Load();
  player->SetEnabled(true);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Time, 5000u);
  EXPECT_EQ(got[0].AtUs, 0);
  // Timed from position 0, as after every reset: the whole 6000 ms.
  AdvanceMs(5999);
  EXPECT_EQ(got.size(), 1u);
  AdvanceMs(1);
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 6000 * Ms}));
}

TEST_F(SimulatedPlayer, SimultaneousItemsMergePerDeviceAndAreSpacedByPeriodMin) {
  Item(0, 9);
  Item(1000, 1, {1});
  Item(1000, 1, {2});
  Item(1000, 2, {3});
  Item(1000, 3, {4});
  Item(1003, 1, {5});
  Load();
  player->SetEnabled(true);
  AdvanceMs(5000);
  EXPECT_EQ(got, (std::vector<Delivery>{{0, 0, 9, {0x90}},
                                        {1000 * Ms, 1000, 1, {1, 2}},
                                        {1001 * Ms, 1000, 2, {3}},
                                        {1002 * Ms, 1000, 3, {4}},
                                        {1003 * Ms, 1003, 1, {5}}}));
}

// One item holds at most 32768 bytes: the rest of one device's moment follows as further whole items.
TEST_F(SimulatedPlayer, MoreBytesThanOneItemHoldsComeAsFurtherItemsInOrder) {
  std::vector<uint8_t> all;
  for (int32_t size : {20000, 12768, 5, 32768, 1}) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(all.size() + (&b - bytes.data()));
    all.insert(all.end(), bytes.begin(), bytes.end());
    Item(0, 1, bytes);
  }
  Load();
  player->SetEnabled(true);
  AdvanceMs(10);
  std::vector<uint8_t> delivered;
  std::vector<size_t> sizes;
  for (const auto& d : got) {
    delivered.insert(delivered.end(), d.Bytes.begin(), d.Bytes.end());
    sizes.push_back(d.Bytes.size());
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{32768, 5, 32768, 1}));
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 1 * Ms, 2 * Ms, 3 * Ms}));
  EXPECT_EQ(delivered, all);
}

// Each raised gap between equal times must not move the items after it.
TEST_F(SimulatedPlayer, TwoDevicesEvery10MsStayOnTimeFor10Seconds) {
  for (uint32_t t = 0; t <= 10000; t += 10) {
    Item(t, 1);
    Item(t, 2);
  }
  Load();
  player->SetEnabled(true);
  AdvanceMs(10100);
  ASSERT_EQ(got.size(), 2002u);
  EXPECT_EQ(got[2000].AtUs, 10000 * Ms);
  EXPECT_EQ(got[2001].AtUs, 10001 * Ms);
}

TEST_F(SimulatedPlayer, EndMarkerReachesOnEndWithItsSource) {
  auto* source = reinterpret_cast<TTambrel*>(&tambrel);
  Item(0);
  tambrel.Append(new TEndMarker(200, source));
  const TTambrel* seen = nullptr;
  player->OnEnd = [&seen](TPlayer&, const TEndMarker& m) { seen = m.Source; };
  Load();
  player->SetEnabled(true);
  AdvanceMs(200);
  EXPECT_EQ(seen, source);
}

TEST_F(SimulatedPlayer, RepeatWithOneItemRefusesToStart) {
  Item(0);
  Load();
  player->SetRepeat(true);
  player->SetEnabled(true);
  EXPECT_FALSE(player->Enabled());
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(clock->Armed());
}

TEST_F(SimulatedPlayer, RepeatStartsAgainAfterTheFirstItemsOwnTime) {
  Item(300);
  Item(1000);
  Load();
  player->SetRepeat(true);
  player->SetEnabled(true);
  AdvanceMs(1000);  // 1000 delivered; the first comes again 300 ms later, from position 0
  EXPECT_EQ(got.size(), 2u);
  EXPECT_EQ(player->Timer().Position(), 300u);
  AdvanceMs(300);
  AdvanceMs(700);
  std::vector<uint32_t> times;
  for (const auto& d : got) times.push_back(d.Time);
  EXPECT_EQ(times, (std::vector<uint32_t>{300, 1000, 300, 1000}));
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 1000 * Ms, 1300 * Ms, 2000 * Ms}));
}

TEST_F(SimulatedPlayer, AfterTheLastItemItWakesOnceAMinuteAndDeliversNothing) {
  Item(0);
  Item(100);
  Load();
  player->SetEnabled(true);
  AdvanceMs(100);
  ASSERT_EQ(got.size(), 2u);
  ASSERT_TRUE(clock->Armed());
  EXPECT_EQ(clock->ArmedDeadlineUs() - startUs, (100 + 60000) * Ms);
  AdvanceMs(60000);
  EXPECT_EQ(clock->ArmedDeadlineUs() - startUs, (100 + 120000) * Ms);
  EXPECT_EQ(got.size(), 2u);
  EXPECT_TRUE(player->Enabled());
  // An item added later is picked up by the next wake-up.
  Item(200);
  player->AddItems(nullptr);
  player->Add(tambrel.Items(2));
  AdvanceMs(60000);
  EXPECT_EQ(got.size(), 2u);  // the wake-up took it; it is due PeriodMin later
  AdvanceMs(1);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[2].AtUs, (100 + 120000 + 1) * Ms);
}

TEST_F(SimulatedPlayer, LongWaitsAreSplitAtPeriodMaxAndKeepThePosition) {
  TearDown();
  Make(1000000);
  Item(0);
  Item(2500000);
  Item(2500010);
  Load();
  player->SetEnabled(true);
  std::vector<int64_t> parts;
  std::vector<uint32_t> remaining;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(clock->Armed());
    parts.push_back(clock->ArmedDeadlineUs() - startUs);
    remaining.push_back(player->Timer().Remaining());
    EXPECT_EQ(player->Timer().Position(), 2500000u);
    clock->AdvanceTo(clock->ArmedDeadlineUs());
  }
  EXPECT_EQ(parts, (std::vector<int64_t>{1000000 * Ms, 2000000 * Ms, 2500000 * Ms}));
  EXPECT_EQ(remaining, (std::vector<uint32_t>{1500000, 500000, 0}));
  AdvanceMs(10);
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 2500000 * Ms, 2500010 * Ms}));
}

TEST_F(SimulatedPlayer, GotoTimeDeliversTheItemBeforeAndTheNextAtOnce) {
  Item(0);
  Item(170000);
  Item(185000);
  Item(200000);
  Load();
  player->SetEnabled(true);
  got.clear();
  player->GotoTime(3 * 60000);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Time, 170000u);
  EXPECT_EQ(got[1].Time, 185000u);
  EXPECT_EQ(got[1].AtUs, 0);
  AdvanceMs(14999);
  EXPECT_EQ(got.size(), 2u);
  AdvanceMs(1);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[2].Time, 200000u);
}

TEST_F(SimulatedPlayer, GotoTimeWhileStoppedOnlyMovesAndTimesFromThere) {
  Item(0);
  Item(170000);
  Item(185000);
  Load();
  player->GotoTime(3 * 60000);
  EXPECT_TRUE(got.empty());
  uint32_t pending = 0;
  ASSERT_TRUE(player->PendingTime(pending));
  EXPECT_EQ(pending, 170000u);
  player->SetEnabled(true);
  AdvanceMs(15000);
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 15000 * Ms}));
  player->SetRepeat(true);
  got.clear();
  player->GotoTime(170000);  // nothing strictly before 170000 but 0: delivers 0 and 170000
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Time, 0u);
}

TEST_F(SimulatedPlayer, AddingTheFirstTwoItemsToARunningPlayerRestartsEachTime) {
  player->SetEnabled(true);
  player->Add(Item(500));
  player->Add(Item(100));
  player->Add(Item(900));  // the batch held two: no restart
  std::vector<uint32_t> times;
  for (const auto& d : got) times.push_back(d.Time);
  EXPECT_EQ(times, (std::vector<uint32_t>{500, 100}));
  AdvanceMs(800);
  EXPECT_EQ(got.size(), 3u);
  AdvanceMs(100);
  EXPECT_EQ(got.size(), 4u);
}

TEST_F(SimulatedPlayer, AddItemsRestartsLikeAddingOneByOne) {
  player->SetEnabled(true);
  Item(500);
  Item(100);
  Item(900);
  Item(50);
  Load();
  std::vector<uint32_t> times;
  for (const auto& d : got) times.push_back(d.Time);
  EXPECT_EQ(times, (std::vector<uint32_t>{500, 100}));
  uint32_t pending = 0;
  ASSERT_TRUE(player->PendingTime(pending));
  EXPECT_EQ(pending, 500u);  // 50 went in below the read position
}

TEST_F(SimulatedPlayer, StopKeepsThePendingItemAndCancelsTheWakeUp) {
  Item(0);
  Item(1000);
  Item(2000);
  Load();
  player->SetEnabled(true);
  player->SetEnabled(false);
  EXPECT_FALSE(clock->Armed());
  AdvanceMs(5000);
  EXPECT_EQ(got.size(), 1u);
  player->SetEnabled(true);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].Time, 1000u);
  EXPECT_EQ(got[1].AtUs, 5000 * Ms);
  AdvanceMs(1000);
  EXPECT_EQ(Instants(), (std::vector<int64_t>{0, 5000 * Ms, 6000 * Ms}));
  player->Step();
  EXPECT_EQ(got.size(), 3u);  // nothing pending after the last
  player->SetEnabled(false);
  player->Step();
  player->Restart();
  EXPECT_EQ(got.size(), 3u);  // stopped: nothing is delivered
}

TEST_F(SimulatedPlayer, TickDurationDoesNotDelayLaterItems) {
  tickCostUs = 700;
  for (uint32_t t = 0; t < 50; ++t) Item(t * 2);
  Load();
  player->SetEnabled(true);
  AdvanceMs(200);
  ASSERT_EQ(got.size(), 50u);
  for (size_t i = 1; i < got.size(); ++i) EXPECT_EQ(got[i].AtUs, static_cast<int64_t>(i) * 2 * Ms);
}

TEST_F(SimulatedPlayer, ALateTickIsNotCarriedIntoLaterItems) {
  int calls = 0;
  player->OnData = [&](TPlayer&, const TTimedData& d) {
    got.push_back({clock->NowUs() - startUs, d.Time, d.Device, {}});
    if (++calls == 2) clock->Spend(3500);  // one slow callback, longer than the spacing
  };
  for (uint32_t t = 0; t < 10; ++t) Item(t * 2);
  Load();
  player->SetEnabled(true);
  AdvanceMs(100);
  ASSERT_EQ(got.size(), 10u);
  // Items 2 and 3 catch up late; from item 4 on every delivery is on its due instant again.
  EXPECT_EQ(got[2].AtUs, 5500);
  EXPECT_EQ(got[3].AtUs, 6000);
  for (size_t i = 4; i < got.size(); ++i) EXPECT_EQ(got[i].AtUs, static_cast<int64_t>(i) * 2 * Ms);
}

TEST_F(SimulatedPlayer, AFailingCallbackOnTheTimerIsReportedAndPlaybackGoesOn) {
  Item(0);
  Item(10);
  Item(20);
  Load();
  player->OnData = [this](TPlayer&, const TTimedData& d) {
    got.push_back({clock->NowUs() - startUs, d.Time, d.Device, {}});
    if (d.Time == 10) throw std::runtime_error("output gone");
  };
  player->SetEnabled(true);
  AdvanceMs(20);
  EXPECT_EQ(got.size(), 3u);
  EXPECT_EQ(traces, std::vector<std::string>{"Player tick failed: output gone"});
}

TEST_F(SimulatedPlayer, AFailingCallbackOnTheCallersThreadReachesTheCaller) {
  Item(0);
  Item(10);
  Load();
  player->OnData = [](TPlayer&, const TTimedData&) { throw std::runtime_error("no"); };
  EXPECT_THROW(player->SetEnabled(true), std::runtime_error);
  EXPECT_FALSE(player->Enabled());
  uint32_t pending = 0;
  EXPECT_FALSE(player->PendingTime(pending));  // the delivered item was released all the same
}

TEST_F(SimulatedPlayer, RemovingItemsWhilePlayingNeitherRepeatsNorSkips) {
  TTimedBatch other;
  for (uint32_t t : {5u, 15u, 25u}) {
    auto* item = new TTimedData(t, nullptr, 0, 7);
    other.Append(item);
  }
  for (uint32_t t = 0; t < 40; t += 10) Item(t);
  Load();
  player->AddItems(&other);
  player->SetEnabled(true);
  AdvanceMs(12);  // delivered 0, 5, 10; 15 pending
  player->RemoveItems(&other);
  player->AddItems(&other);
  player->RemoveItems(&other);
  AdvanceMs(100);
  std::vector<uint32_t> times;
  for (const auto& d : got) times.push_back(d.Time);
  EXPECT_EQ(times, (std::vector<uint32_t>{0, 5, 10, 15, 20, 30}));
}

// Unloading another Tambrel at the end of the timeline, or the rest of the timeline while its last item
// is pending, leaves the end the end: nothing already played comes again.
TEST_F(SimulatedPlayer, RemovalsAtTheEndReplayNothing) {
  TTimedBatch other;
  for (uint32_t t : {5u, 25u, 35u}) other.Append(new TTimedData(t, nullptr, 0, 7));
  Item(0);
  Item(10);
  Load();
  player->AddItems(&other);
  player->SetEnabled(true);
  AdvanceMs(27);  // 0, 5, 10, 25 delivered; 35 pending, nothing after it
  player->RemoveItems(&other);
  AdvanceMs(100);
  EXPECT_EQ(got.size(), 5u);
  player->AddItems(&other);  // all earlier than what was taken: nothing pending
  player->RemoveItems(&other);
  AdvanceMs(180000);
  EXPECT_EQ(got.size(), 5u);
  player->SetRepeat(true);  // Repeat starts again on its own
  AdvanceMs(60000);
  EXPECT_GT(got.size(), 5u);
}

TEST_F(SimulatedPlayer, DestructionWhileRunningIsClean) {
  Item(0);
  Item(10);
  Load();
  player->SetEnabled(true);
  player.reset();  // with the items loaded; the fixture's batch frees them afterwards
  EXPECT_EQ(got.size(), 1u);
}

}  // namespace
}  // namespace tambrel
