// Loading Tambrels into the player, unloading them, and the end of a Tambrel.
#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>

#include "app/player_timeline.h"
#include "app/tambrel_controller.h"
#include "player/player.h"

namespace tambrel {

namespace {

// The busy pointer for as long as it lives.
class TBusyPointer {
 public:
  explicit TBusyPointer(TMainView& view) : View(view) { View.SetBusyPointer(true); }
  ~TBusyPointer() { View.SetBusyPointer(false); }
  TBusyPointer(const TBusyPointer&) = delete;
  TBusyPointer& operator=(const TBusyPointer&) = delete;

 private:
  TMainView& View;
};

const void* RootOf(const TParsedTambrel* tambrel) {
  const auto* loaded = dynamic_cast<const TLoadedTambrel*>(tambrel);
  return loaded != nullptr ? loaded->Root() : nullptr;
}

}  // namespace

std::unique_ptr<TParsedTambrel> TTambrelController::TFrontEndTap::TakeParseResult() {
  std::unique_ptr<TParsedTambrel> tambrel = Inner.TakeParseResult();
  if (tambrel && Owner.ParsedSerial == 0) {
    Owner.ParsedSerial = Owner.NextSerial++;
    Owner.RegisterRoot(RootOf(tambrel.get()), Owner.ParsedSerial);
  }
  return tambrel;
}

void TTambrelController::RegisterRoot(const void* root, uint64_t serial) {
  if (root == nullptr) return;
  std::lock_guard<std::mutex> guard(SerialLock);
  SerialOfRoot.emplace_back(root, serial);
}

void TTambrelController::UnregisterSerial(uint64_t serial) {
  std::lock_guard<std::mutex> guard(SerialLock);
  std::erase_if(SerialOfRoot, [serial](const auto& entry) { return entry.second == serial; });
}

void TTambrelController::LoadTambrel(const std::string& path) {
  if (Compiling() || Closed) return;
  RunCompileCommand([&] {
    try {
      Sink.WriteMessageFmt("Loading: %s", path.c_str());
      CompileFile(path, FPlayer.get());
      FLastFile = path;
      if (FAutoEdit) EditorLoad(path);
      if (FAutoPlay) {
        ResetPlayer();
        SetPlaying(true);
      }
    } catch (const std::exception& error) {
      WriteMessage(error.what());
      View.SetActiveTab(TTab::Debug);
      SetAutoReload(false);
      SetAutoPlay(false);
    } catch (...) {
      WriteMessage("The load failed by an unknown error");
      View.SetActiveTab(TTab::Debug);
      SetAutoReload(false);
      SetAutoPlay(false);
    }
  });
}

bool TTambrelController::CompileFile(const std::string& path, TPlayer* player) {
  Pipeline.Settings.ParserDebug = FParserDebug;
  Pipeline.Settings.DumpFileName = FCompilerDebug ? Parts.DumpFileName : std::string();
  ParsedSerial = 0;
  // A parse result that never reached the list is no longer anybody's: its serial goes.
  struct TForget {
    TTambrelController& Self;
    ~TForget() {
      if (Self.ParsedSerial != 0) Self.UnregisterSerial(Self.ParsedSerial);
      Self.ParsedSerial = 0;
    }
  } forget{*this};
  bool ok = false;
  {
    TBusyPointer busy(View);
    ok = Pipeline.CompileFile(path, player);
  }
  if (!ok) View.SetActiveTab(TTab::Debug);
  return ok;
}

void TTambrelController::OnLoaded(std::unique_ptr<TParsedTambrel> tambrel) {
  AddLoaded(std::move(tambrel));
}

void TTambrelController::AddLoaded(std::unique_ptr<TParsedTambrel> tambrel) {
  // The new Tambrel is not in the list yet: only the older ones go.
  if (FRemoveOldOnLoad) UnloadAllNow();
  uint64_t serial = std::exchange(ParsedSerial, 0);
  const void* root = RootOf(tambrel.get());
  if (serial == 0) {
    serial = NextSerial++;
    RegisterRoot(root, serial);
  }
  LoadedList.push_back({tambrel->Name(), serial, root, std::move(tambrel)});
  RefreshLoadedList();
  ResumeRefusedStart();
}

void TTambrelController::RemoveLoaded(size_t index) {
  if (index >= LoadedList.size()) return;
  TLoaded entry = std::move(LoadedList[index]);
  LoadedList.erase(LoadedList.begin() + static_cast<std::ptrdiff_t>(index));
  UnregisterSerial(entry.Serial);
  entry.Tambrel.reset();  // its items leave the player
  if (!FPlayer) return;
  // Its end marker may be the player's pending item still; no tick runs while this is noted.
  std::lock_guard<std::recursive_mutex> tick(FPlayer->Timer().TickLock());
  StaleRoot = entry.Root;
  if (FPlaying) ReleaseHeldNotes();
}

void TTambrelController::UnloadSelected() {
  if (Compiling() || Closed) return;
  std::vector<int> rows = View.SelectedLoadedRows();
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    if (*row >= 0) RemoveLoaded(static_cast<size_t>(*row));
  RefreshLoadedList();
}

void TTambrelController::UnloadAll() {
  if (Compiling() || Closed) return;
  UnloadAllNow();
}

void TTambrelController::UnloadAllNow() {
  while (!LoadedList.empty()) RemoveLoaded(LoadedList.size() - 1);
  RefreshLoadedList();
}

void TTambrelController::RefreshLoadedList() {
  View.ShowLoadedList(LoadedNames());
}

void TTambrelController::PlayerEnd(const TEndMarker& item) {
  const void* stale = StaleRoot.exchange(nullptr);
  const void* source = item.Source;
  uint64_t serial = GoneTambrel;
  if (source == nullptr) {
    serial = NoTambrel;
  } else if (source != stale) {
    std::lock_guard<std::mutex> guard(SerialLock);
    for (const auto& [root, each] : SerialOfRoot)
      if (root == source) serial = each;
  }
  Parts.Poster->Post({MsgFinished, serial});
}

void TTambrelController::Finished(uint64_t serial) {
  // The trace lines of the items before the end come first.
  DrainTrace();
  if (serial == NoTambrel) {
    if (FTraceMode) WriteMessage("Some nil thing hit an endmarker ...");
    return;
  }
  const auto entry = std::find_if(LoadedList.begin(), LoadedList.end(),
                                  [serial](const TLoaded& loaded) { return loaded.Serial == serial; });
  if (entry == LoadedList.end()) return;
  if (FTraceMode) Sink.WriteMessageFmt("Tambrel %s finished", entry->Name.c_str());
  if (!FRemoveOnFinish) return;
  if (Compiling()) {
    RemovalsDeferred.push_back(serial);
    return;
  }
  RemoveFinished(serial);
}

void TTambrelController::RemoveFinished(uint64_t serial) {
  for (size_t i = 0; i < LoadedList.size(); ++i) {
    if (LoadedList[i].Serial != serial) continue;
    RemoveLoaded(i);
    RefreshLoadedList();
    return;
  }
}

}  // namespace tambrel
