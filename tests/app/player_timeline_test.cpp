#include "app/player_timeline.h"

#include <gtest/gtest.h>

namespace tambrel {
namespace {

// A compiled Tambrel as the compiler leaves it: its items in a batch of its own, handed to the player,
// and withdrawn again before they are freed.
class TFakeLoaded : public TLoadedTambrel {
 public:
  TFakeLoaded(TPlayer& player, std::string name, const std::vector<TExportItem>& items)
      : Player(player), Label(std::move(name)) {
    uint32_t last = 0;
    for (const TExportItem& item : items) {
      Batch.Append(
          new TTimedData(item.Time, item.Bytes.data(), static_cast<int32_t>(item.Bytes.size()), item.Device));
      last = std::max(last, item.Time);
    }
    Batch.Append(new TEndMarker(last, reinterpret_cast<TTambrel*>(this)));
    Player.AddItems(&Batch);
  }
  ~TFakeLoaded() override { Player.RemoveItems(&Batch); }
  void SetOnError(std::function<void(const std::string&)>) override {}
  int32_t Compile(TPlayer*, const std::string&) override { return 0; }
  std::string Name() const override { return Label; }
  const TTambrel* Root() const override { return reinterpret_cast<const TTambrel*>(this); }

 private:
  TPlayer& Player;
  std::string Label;
  TTimedBatch Batch;
};

void Load(TPlayerTimeline& timeline, const std::string& name, const std::vector<TExportItem>& items) {
  timeline.AddLoaded(std::make_unique<TFakeLoaded>(*timeline.Player(), name, items));
}

TEST(PlayerTimelineTest, ListsAndExportsTheMergedTimelineWithoutMovingThePlayer) {
  TPlayerTimeline timeline;
  Load(timeline, "a", {{0, 1, {0x90, 60, 1}}, {500, 1, {0x80, 60, 0}}});
  Load(timeline, "b", {{0, 1, {0x90, 64, 1}}, {0, 2, {0xC0, 5}}, {700, 2, {0xC0, 6}}});

  EXPECT_EQ(timeline.DumpLines(),
            (std::vector<std::string>{"TimedBatch", "Begin", "| 00000:00.000  00001 90 3C 01",
                                      "| 00000:00.000  00001 90 40 01", "| 00000:00.000  00002 C0 05",
                                      "| 00000:00.500  00001 80 3C 00", "| 00000:00.500  End marker",
                                      "| 00000:00.700  00002 C0 06", "| 00000:00.700  End marker", "End"}));

  uint32_t endTime = 0;
  const std::vector<TExportItem> items = timeline.DataItems(endTime);
  EXPECT_EQ(endTime, 700u);
  ASSERT_EQ(items.size(), 4u);
  // Simultaneous items of one device are joined, in load order, as the player delivers them.
  EXPECT_EQ(items[0].Bytes, (std::vector<uint8_t>{0x90, 60, 1, 0x90, 64, 1}));
  EXPECT_EQ(items[1].Device, 2);
  EXPECT_EQ(items[3].Time, 700u);
  EXPECT_EQ(timeline.Player()->Batch().ReadIndex(), 0);
}

}  // namespace
}  // namespace tambrel
