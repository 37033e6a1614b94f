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
  // Copies of the player's batch, taken in its order and merged as the player takes them, so that the
  // player itself is not moved.
  TTimedBatch copy;
  for (const TTimed* item : ThePlayer->Batch().Snapshot()) copy.Append(item->Clone().release());
  std::vector<TExportItem> result;
  endTime = 0;
  while (std::unique_ptr<TTimed> item = copy.TakeNext()) {
    if (const auto* data = dynamic_cast<const TTimedData*>(item.get())) {
      result.push_back(
          {data->Time, data->Device, std::vector<uint8_t>(data->Data(), data->Data() + data->Count())});
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
