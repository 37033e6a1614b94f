#include "player/timed_batch.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/play_clock.h"
#include "player/player.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

TTimedData* Data(uint32_t time, int32_t device, std::vector<uint8_t> bytes = {1}) {
  return new TTimedData(time, bytes.data(), static_cast<int32_t>(bytes.size()), device);
}

std::vector<uint8_t> BytesOf(const TTimed& item) {
  const auto& d = dynamic_cast<const TTimedData&>(item);
  return {d.Data(), d.Data() + d.Count()};
}

std::vector<uint32_t> Times(const TTimedBatch& batch) {
  std::vector<uint32_t> times;
  for (int32_t i = 0; i < batch.Count(); ++i) times.push_back(batch.Items(i)->Time);
  return times;
}

// The batches here hold references to items owned by a separate list, as the player's batch does.
struct OwnedItems {
  TTimedBatch owner;
  TTimed* Add(TTimed* item) {
    owner.Append(item);
    return item;
  }
};

// Empties a batch of borrowed references without freeing them.
void Release(TTimedBatch& batch) {
  batch.RemoveTimedMany(batch.Snapshot());
}

TEST(TimedBatchTake, EmptyOrAtTheEndGivesNothing) {
  TTimedBatch batch;
  EXPECT_EQ(batch.TakeNext(), nullptr);
  EXPECT_EQ(batch.ReadIndex(), 0);
  batch.AddTimed(Data(5, 1));
  EXPECT_NE(batch.TakeNext(), nullptr);
  EXPECT_EQ(batch.TakeNext(), nullptr);
  EXPECT_EQ(batch.ReadIndex(), 1);
}

TEST(TimedBatchTake, MergesRunsOfOneDeviceAtOneTime) {
  TTimedBatch batch;
  batch.AddTimed(Data(1000, 1, {1}));
  batch.AddTimed(Data(1000, 1, {2}));
  batch.AddTimed(Data(1000, 1, {3}));
  batch.AddTimed(Data(1000, 2, {4}));
  batch.AddTimed(Data(1000, 1, {5}));
  batch.AddTimed(Data(1001, 1, {6}));
  auto first = batch.TakeNext();
  EXPECT_EQ(BytesOf(*first), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(batch.ReadIndex(), 3);
  auto second = batch.TakeNext();
  EXPECT_EQ(dynamic_cast<TTimedData&>(*second).Device, 2);
  auto third = batch.TakeNext();
  EXPECT_EQ(BytesOf(*third), std::vector<uint8_t>{5});  // not joined to the first run
  EXPECT_EQ(BytesOf(*batch.TakeNext()), std::vector<uint8_t>{6});
  // The batch's own items are untouched by the merging of their clones.
  EXPECT_EQ(BytesOf(*batch.Items(0)), std::vector<uint8_t>{1});
}

TEST(TimedBatchTake, MarkersEndRunsAndSwallowDevice65535) {
  TTimedBatch batch;
  batch.AddTimed(Data(10, 1));
  batch.AddTimed(new TEndMarker(10, nullptr));
  batch.AddTimed(Data(10, 65535, {7}));
  batch.AddTimed(Data(10, 3));
  EXPECT_NE(dynamic_cast<TTimedData*>(batch.TakeNext().get()), nullptr);
  auto marker = batch.TakeNext();
  EXPECT_NE(dynamic_cast<TEndMarker*>(marker.get()), nullptr);
  EXPECT_EQ(batch.ReadIndex(), 3);  // the device-65535 item went with the marker, undelivered
  EXPECT_EQ(dynamic_cast<TTimedData&>(*batch.TakeNext()).Device, 3);
}

TEST(TimedBatchOrder, EqualTimesKeepTheOrderOfAdding) {
  TTimedBatch batch;
  TTimed* first500 = Data(500, 1);
  TTimed* second500 = Data(500, 2);
  batch.AddTimed(first500);
  batch.AddTimed(Data(100, 1));
  batch.AddTimed(second500);
  batch.AddTimed(Data(0, 1));
  EXPECT_EQ(Times(batch), (std::vector<uint32_t>{0, 100, 500, 500}));
  EXPECT_EQ(batch.Items(2), first500);
  EXPECT_EQ(batch.Items(3), second500);
  EXPECT_THROW(batch.Items(4), std::out_of_range);
  EXPECT_THROW(batch.Items(-1), std::out_of_range);
}

TEST(TimedBatchReadIndex, InsertAndRemoveBelowItKeepTheNextItem) {
  OwnedItems own;
  TTimedBatch batch;
  for (uint32_t t : {100u, 200u, 300u}) batch.AddTimed(own.Add(Data(t, 1)));
  (void)batch.TakeNext();
  (void)batch.TakeNext();  // next is 300
  batch.AddTimed(own.Add(Data(50, 1)));
  EXPECT_EQ(batch.TakeNext()->Time, 300u);  // 200 is not taken a second time
  batch.Rewind();
  (void)batch.TakeNext();
  (void)batch.TakeNext();  // at index 2 (200), next is 200
  EXPECT_EQ(batch.ReadIndex(), 2);
  batch.RemoveTimed(batch.Items(0));
  EXPECT_EQ(batch.ReadIndex(), 1);
  EXPECT_EQ(batch.TakeNext()->Time, 200u);  // not passed over
  // Removing the item at the read position moves on to the one after it.
  batch.Rewind();
  batch.RemoveTimed(batch.Items(0));  // 100, at the read position
  EXPECT_EQ(batch.TakeNext()->Time, 200u);
  Release(batch);
}

TEST(TimedBatchReadIndex, RemovingWhatIsLeftAtTheReadPositionKeepsTheEnd) {
  OwnedItems own;
  TTimedBatch batch;
  batch.AddTimed(own.Add(Data(1, 1)));
  TTimed* last = own.Add(Data(2, 1));
  batch.AddTimed(last);
  (void)batch.TakeNext();
  batch.RemoveTimed(last);
  EXPECT_EQ(batch.ReadIndex(), 1);
  EXPECT_EQ(batch.TakeNext(), nullptr);
  Release(batch);
}

TEST(TimedBatchSeek, GoesToTheLastItemStrictlyBefore) {
  TTimedBatch batch;
  for (uint32_t t : {1000u, 2000u, 3000u}) batch.AddTimed(Data(t, 1));
  batch.SeekBefore(2000);
  EXPECT_EQ(batch.ReadIndex(), 0);
  batch.SeekBefore(3500);
  EXPECT_EQ(batch.ReadIndex(), 2);
  batch.SeekBefore(1000);
  EXPECT_EQ(batch.ReadIndex(), 2);  // nothing before 1000: unchanged
  TTimedBatch empty;
  empty.SeekBefore(5);
  EXPECT_EQ(empty.ReadIndex(), 0);
}

TEST(TimedBatchLastTime, GreatestTimeWithinSignedRange) {
  TTimedBatch batch;
  EXPECT_EQ(batch.LastTime(), 0u);
  batch.Append(Data(300, 1));
  batch.Append(Data(2147483647u, 1));
  batch.Append(Data(200, 1));
  EXPECT_EQ(batch.LastTime(), 2147483647u);
  batch.Append(Data(2147483648u, 1));
  EXPECT_THROW((void)batch.LastTime(), ERangeError);
}

TEST(TimedBatchDump, LinesGoToTheOwnersTraceWithIndent) {
  TPlayer player(std::make_unique<TSimulatedPlayClock>());
  std::vector<std::string> lines;
  player.OnTrace = [&lines](TPlayer&, const std::string& text) { lines.push_back(text); };
  TTimedBatch batch(&player);
  batch.Append(Data(1500, 3, {144, 60, 100}));
  batch.Append(new TEndMarker(62500, nullptr));
  batch.Dump(1);
  EXPECT_EQ(lines, (std::vector<std::string>{"| TimedBatch", "| Begin", "| | 00000:01.500  00003 90 3C 64",
                                             "| | 00001:02.500  End marker", "| End"}));
  // The trace callback may use the batch while it dumps: the lines are those of one moment.
  lines.clear();
  TTimed item(0);
  TTimed added(5);
  player.Add(&item);
  player.OnTrace = [&](TPlayer& sender, const std::string& text) {
    lines.push_back(text);
    if (lines.size() == 1) sender.Add(&added);
  };
  player.Dump();
  EXPECT_EQ(lines, (std::vector<std::string>{"TimedBatch", "Begin", "| 00000:00.000", "End"}));
  EXPECT_EQ(player.ItemCount(), 2);
  player.Remove(&added);
  player.Remove(&item);
  player.OnTrace = nullptr;
  TTimedBatch orphan;
  orphan.Append(Data(1, 1));
  orphan.Dump(0);  // no owner: built and dropped
}

// The reference: adding and removing one by one.
struct Model {
  std::vector<TTimed*> items;
  int32_t read = 0;
};

class TimedBatchBulk : public ::testing::Test {
 protected:
  OwnedItems own;
  std::mt19937 random{12345};

  std::vector<TTimed*> MakeItems(size_t n, uint32_t maxTime) {
    std::vector<TTimed*> items;
    std::uniform_int_distribution<uint32_t> time(0, maxTime);
    for (size_t i = 0; i < n; ++i) items.push_back(own.Add(Data(time(random), static_cast<int32_t>(i))));
    return items;
  }
};

TEST_F(TimedBatchBulk, AddManyGivesTheOrderAndReadPositionOfOneByOne) {
  for (int round = 0; round < 200; ++round) {
    TTimedBatch single;
    TTimedBatch bulk;
    std::vector<TTimed*> existing = MakeItems(random() % 12, 20);
    for (TTimed* item : existing) {
      single.AddTimed(item);
      bulk.AddTimed(item);
    }
    const int32_t taken = existing.empty() ? 0 : static_cast<int32_t>(random() % (existing.size() + 1));
    for (int32_t i = 0; i < taken; ++i) {
      (void)single.TakeNext();
      (void)bulk.TakeNext();
    }
    ASSERT_EQ(single.ReadIndex(), bulk.ReadIndex());
    std::vector<TTimed*> added = MakeItems(random() % 30, 20);
    for (TTimed* item : added) single.AddTimed(item);
    bulk.AddTimedMany(added);
    ASSERT_EQ(bulk.Snapshot(), single.Snapshot()) << "round " << round;
    ASSERT_EQ(bulk.ReadIndex(), single.ReadIndex()) << "round " << round;
    ASSERT_EQ(bulk.Count(), single.Count());
    Release(single);
    Release(bulk);
  }
}

TEST_F(TimedBatchBulk, AddManyIntoAnUnsortedListFallsBackToOneByOne) {
  TTimedBatch single;
  TTimedBatch bulk;
  for (uint32_t t : {50u, 10u, 30u}) {
    TTimed* item = own.Add(Data(t, 1));
    single.Append(item);
    bulk.Append(item);
  }
  std::vector<TTimed*> added = MakeItems(20, 60);
  for (TTimed* item : added) single.AddTimed(item);
  bulk.AddTimedMany(added);
  EXPECT_EQ(bulk.Snapshot(), single.Snapshot());
  Release(single);
  Release(bulk);
}

// Appending in chunks must leave what appending one by one leaves, including the note that the list is
// out of time order, which decides how later adds merge (an unsorted chunk, or one earlier than the
// list's end, both count).
TEST_F(TimedBatchBulk, AppendManyIsAppendOfEachInTurn) {
  for (const std::vector<uint32_t>& times :
       {std::vector<uint32_t>{5, 7}, std::vector<uint32_t>{30, 10}, std::vector<uint32_t>{1, 2}}) {
    TTimedBatch single;
    TTimedBatch bulk;
    TTimed* first = own.Add(Data(5, 1));
    single.Append(first);
    bulk.AppendMany({first});
    std::vector<TTimed*> chunk;
    for (uint32_t t : times) chunk.push_back(own.Add(Data(t, 1)));
    for (TTimed* item : chunk) single.Append(item);
    bulk.AppendMany(chunk);
    bulk.AppendMany({});
    ASSERT_EQ(bulk.Snapshot(), single.Snapshot());
    ASSERT_EQ(bulk.Count(), single.Count());
    std::vector<TTimed*> added = MakeItems(20, 40);
    for (TTimed* item : added) single.AddTimed(item);
    bulk.AddTimedMany(added);
    EXPECT_EQ(bulk.Snapshot(), single.Snapshot()) << times[0] << "," << times[1];
    Release(single);
    Release(bulk);
  }
}

TEST_F(TimedBatchBulk, RemoveManyGivesTheListAndReadPositionOfOneByOne) {
  for (int round = 0; round < 300; ++round) {
    TTimedBatch single;
    TTimedBatch bulk;
    std::vector<TTimed*> items = MakeItems(1 + random() % 12, 10);
    // The same reference twice, as a Tambrel loaded twice would give.
    if (round % 3 == 0) items.push_back(items[0]);
    for (TTimed* item : items) {
      single.AddTimed(item);
      bulk.AddTimed(item);
    }
    const auto read = static_cast<int32_t>(random() % (items.size() + 1));
    while (single.ReadIndex() < read && single.TakeNext()) {
    }
    while (bulk.ReadIndex() < single.ReadIndex() && bulk.TakeNext()) {
    }
    ASSERT_EQ(single.ReadIndex(), bulk.ReadIndex());
    std::vector<TTimed*> removed;
    for (TTimed* item : items)
      if (random() % 2 == 0) removed.push_back(item);
    if (round % 5 == 0) removed.push_back(own.Add(Data(1, 1)));  // not in the batch
    for (TTimed* item : removed) single.RemoveTimed(item);
    bulk.RemoveTimedMany(removed);
    ASSERT_EQ(bulk.Snapshot(), single.Snapshot()) << "round " << round;
    ASSERT_EQ(bulk.ReadIndex(), single.ReadIndex()) << "round " << round;
    Release(single);
    Release(bulk);
  }
}

TEST(TimedBatchLifetime, ClearAndDestructionFreeLastToFirst) {
  std::vector<int> freed;
  struct Probe : TTimed {
    Probe(int id, std::vector<int>& log) : TTimed(0), Id(id), Log(log) {}
    ~Probe() override { Log.push_back(Id); }
    int Id;
    std::vector<int>& Log;
  };
  {
    TTimedBatch batch;
    for (int i = 0; i < 3; ++i) batch.Append(new Probe(i, freed));
    batch.Clear();
    EXPECT_EQ(batch.Count(), 0);
    EXPECT_EQ(freed, (std::vector<int>{2, 1, 0}));
    batch.Append(new Probe(7, freed));
    batch.Append(new Probe(8, freed));
  }
  EXPECT_EQ(freed, (std::vector<int>{2, 1, 0, 8, 7}));
}

}  // namespace
}  // namespace tambrel
