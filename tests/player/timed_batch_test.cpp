#include "player/timed_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "player/play_clock.h"
#include "player/player.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

// The batches here borrow items owned by one list, as the player's batch does.
class TimedBatch : public ::testing::Test {
 protected:
  TTimedBatch own;
  std::mt19937 random{12345};

  TTimed* Data(uint32_t time, int32_t device, std::vector<uint8_t> bytes = {1}) {
    auto* item = new TTimedData(time, bytes.data(), static_cast<int32_t>(bytes.size()), device);
    own.Append(item);
    return item;
  }
  std::vector<TTimed*> RandomItems(size_t n, uint32_t maxTime) {
    std::vector<TTimed*> items;
    for (size_t i = 0; i < n; ++i) items.push_back(Data(random() % (maxTime + 1), static_cast<int32_t>(i)));
    return items;
  }
};

std::vector<uint8_t> BytesOf(const TTimed& item) {
  const auto& d = dynamic_cast<const TTimedData&>(item);
  return {d.Data(), d.Data() + d.Count()};
}

TEST_F(TimedBatch, TakeNextMergesRunsOfOneDeviceAtOneTime) {
  TTimedBatch batch(nullptr, TItemOwnership::Borrows);
  EXPECT_EQ(batch.TakeNext(), nullptr);
  for (const auto& [time, device, byte] : std::vector<std::tuple<uint32_t, int32_t, uint8_t>>{
           {1000, 1, 1}, {1000, 1, 2}, {1000, 1, 3}, {1000, 2, 4}, {1000, 1, 5}, {1001, 1, 6}})
    batch.AddTimed(Data(time, device, {byte}));
  own.Append(new TEndMarker(1001, nullptr));
  batch.AddTimed(own.Items(own.Count() - 1));
  batch.AddTimed(Data(1001, 65535, {7}));  // goes with the marker, undelivered
  batch.AddTimed(Data(1001, 3));
  std::vector<std::vector<uint8_t>> taken;
  while (auto item = batch.TakeNext())
    taken.push_back(dynamic_cast<TEndMarker*>(item.get()) ? std::vector<uint8_t>{} : BytesOf(*item));
  EXPECT_EQ(taken, (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {4}, {5}, {6}, {}, {1}}));
  EXPECT_EQ(batch.ReadIndex(), batch.Count());
  EXPECT_EQ(BytesOf(*batch.Items(0)), std::vector<uint8_t>{1});  // the batch's own items are untouched
}

TEST_F(TimedBatch, LastTimeIsTheGreatestWithinTheSignedRange) {
  EXPECT_EQ(TTimedBatch().LastTime(), 0u);
  for (uint32_t t : {300u, 2147483647u, 200u}) Data(t, 1);
  EXPECT_EQ(own.LastTime(), 2147483647u);
  Data(2147483648u, 1);
  EXPECT_THROW((void)own.LastTime(), ERangeError);
}

// The trace callback may use the batch while it dumps: the lines are those of one moment.
TEST_F(TimedBatch, DumpGoesToTheOwnersTraceOutsideTheLock) {
  TPlayer player(std::make_unique<TSimulatedPlayClock>());
  std::vector<std::string> lines;
  TTimed* added = Data(5, 1, {});
  player.Add(Data(1500, 3, {144, 60, 100}));
  player.OnTrace = [&](TPlayer& sender, const std::string& text) {
    lines.push_back(text);
    if (lines.size() == 1) sender.Add(added);
  };
  player.Dump();
  EXPECT_EQ(lines,
            (std::vector<std::string>{"TimedBatch", "Begin", "| 00000:01.500  00003 90 3C 64", "End"}));
  EXPECT_EQ(player.ItemCount(), 2);
}

// Bulk adding into a list in time order (and, after an Append out of order, into one that is not) gives
// the list and read position of adding one by one.
TEST_F(TimedBatch, AddManyIsAddOfEachInTurn) {
  for (int round = 0; round < 300; ++round) {
    TTimedBatch single(nullptr, TItemOwnership::Borrows), bulk(nullptr, TItemOwnership::Borrows);
    std::vector<TTimed*> existing = RandomItems(random() % 12, 20);
    if (round % 4 != 0)  // in time order
      std::stable_sort(existing.begin(), existing.end(), [](auto* a, auto* b) { return a->Time < b->Time; });
    // Appended in two chunks, as a compile does, or one by one.
    for (TTimed* item : existing) single.Append(item);
    const auto split = existing.begin() + static_cast<std::ptrdiff_t>(random() % (existing.size() + 1));
    bulk.AppendMany({existing.begin(), split});
    bulk.AppendMany({split, existing.end()});
    for (auto taken = random() % (existing.size() + 1); taken > 0; --taken) {
      (void)single.TakeNext();
      (void)bulk.TakeNext();
    }
    std::vector<TTimed*> added = RandomItems(random() % 30, 20);
    for (TTimed* item : added) single.AddTimed(item);
    bulk.AddTimedMany(added);
    ASSERT_EQ(bulk.Snapshot(), single.Snapshot()) << "round " << round;
    ASSERT_EQ(std::tuple(bulk.ReadIndex(), bulk.Count()), std::tuple(single.ReadIndex(), single.Count()))
        << "round " << round;
  }
}

TEST_F(TimedBatch, RemoveManyIsRemoveOfEachInTurn) {
  for (int round = 0; round < 300; ++round) {
    TTimedBatch single(nullptr, TItemOwnership::Borrows), bulk(nullptr, TItemOwnership::Borrows);
    std::vector<TTimed*> items = RandomItems(1 + random() % 12, 10);
    if (round % 3 == 0) items.push_back(items[0]);  // as a Tambrel loaded twice gives
    for (TTimed* item : items) {
      single.AddTimed(item);
      bulk.AddTimed(item);
    }
    for (auto taken = random() % (items.size() + 1); taken > 0; --taken) {
      (void)single.TakeNext();
      (void)bulk.TakeNext();
    }
    std::vector<TTimed*> removed;
    for (TTimed* item : items)
      if (random() % 2 == 0) removed.push_back(item);
    if (round % 5 == 0) removed.push_back(Data(1, 1));  // not in the batch
    for (TTimed* item : removed) single.RemoveTimed(item);
    bulk.RemoveTimedMany(removed);
    ASSERT_EQ(bulk.Snapshot(), single.Snapshot()) << "round " << round;
    ASSERT_EQ(std::tuple(bulk.ReadIndex(), bulk.Count()), std::tuple(single.ReadIndex(), single.Count()))
        << "round " << round;
  }
}

}  // namespace
}  // namespace tambrel
