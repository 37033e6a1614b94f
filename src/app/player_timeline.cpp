#include "app/player_timeline.h"

#include <algorithm>
#include <stdexcept>

namespace tambrel {

TPlayerTimeline::TPlayerTimeline() : ThePlayer(std::make_unique<TPlayer>()) {}

TPlayerTimeline::~TPlayerTimeline() {
  Stop();
  ThePlayer->OnTrace = nullptr;
  // Last loaded first, as unloading all does.
  while (!Loaded.empty()) Loaded.pop_back();
  ThePlayer.reset();
}

void TPlayerTimeline::AddLoaded(std::unique_ptr<TParsedTambrel> tambrel) {
  auto* loaded = dynamic_cast<TLoadedTambrel*>(tambrel.get());
  if (loaded == nullptr) throw std::logic_error("A Tambrel of another front end reached the player");
  tambrel.release();
  Loaded.emplace_back(loaded);
}

std::vector<std::string> TPlayerTimeline::DumpLines() {
  std::vector<std::string> lines;
  ThePlayer->OnTrace = [&lines](TPlayer&, const std::string& text) { lines.push_back(text); };
  ThePlayer->Dump();
  ThePlayer->OnTrace = nullptr;
  return lines;
}

std::vector<TExportItem> TPlayerTimeline::DataItems(uint32_t& endTime) {
  // The same insertion and the same merging of simultaneous items as the player's own batch, on
  // copies, so that the player is not moved.
  TTimedBatch merged;
  for (const auto& tambrel : Loaded) {
    const TTimedBatch& items = tambrel->Items();
    for (int32_t i = 0; i < items.Count(); ++i) merged.AddTimed(items.Items(i)->Clone().release());
  }
  merged.Rewind();
  std::vector<TExportItem> result;
  endTime = 0;
  while (std::unique_ptr<TTimed> item = merged.TakeNext()) {
    if (const auto* data = dynamic_cast<const TTimedData*>(item.get())) {
      result.push_back({data->Time, data->Device, std::vector<uint8_t>(data->Data(), data->Data() + data->Count())});
    } else if (dynamic_cast<const TEndMarker*>(item.get()) != nullptr) {
      endTime = std::max(endTime, item->Time);
    }
  }
  return result;
}

std::string TPlayerTimeline::NameOf(const TTambrel* root) const {
  for (const auto& tambrel : Loaded)
    if (root != nullptr && tambrel->Root() == root) return tambrel->Name();
  return {};
}

bool TPlayerTimeline::Start(bool repeat) {
  ThePlayer->OnData = [this](TPlayer&, const TTimedData& data) {
    if (!OnData) return;
    TRoutedItem item;
    item.Time = data.Time;
    item.Device = data.Device;
    item.Data = std::span<const uint8_t>(data.Data(), static_cast<size_t>(data.Count()));
    item.DumpLine = [&data] { return data.Dump(); };
    OnData(item);
  };
  ThePlayer->OnEnd = [this](TPlayer&, const TEndMarker& marker) {
    if (OnEnd) OnEnd(NameOf(marker.Source));
  };
  ThePlayer->SetRepeat(repeat);
  ThePlayer->Restart();
  ThePlayer->SetEnabled(true);
  return ThePlayer->Enabled();
}

void TPlayerTimeline::Stop() {
  ThePlayer->SetEnabled(false);
  ThePlayer->OnData = nullptr;
  ThePlayer->OnEnd = nullptr;
}

}  // namespace tambrel
