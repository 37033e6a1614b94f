#pragma once
// The timeline on the real player: the Tambrels loaded into it, its batch dump, the merged data
// items for the export, and real-time play through the player's callbacks.

#include <memory>
#include <string>
#include <vector>

#include "app/timeline.h"
#include "player/player.h"
#include "player/timed_batch.h"

namespace tambrel {

// A Tambrel compiled into a player, as the timeline needs to see it.
class TLoadedTambrel : public TParsedTambrel {
 public:
  // The root an end marker names as its source.
  virtual const TTambrel* Root() const = 0;
};

class TPlayerTimeline : public TTimeline {
 public:
  TPlayerTimeline();
  // Stops the player and unloads every Tambrel (their items leave the player) before the player goes.
  ~TPlayerTimeline() override;

  TPlayer* Player() override { return ThePlayer.get(); }
  // tambrel must be a TLoadedTambrel compiled into Player().
  void AddLoaded(std::unique_ptr<TParsedTambrel> tambrel) override;
  std::vector<std::string> DumpLines() override;
  std::vector<TExportItem> DataItems(uint32_t& endTime) override;
  bool Start(bool repeat) override;
  void Stop() override;

 private:
  std::string NameOf(const TTambrel* root) const;

  std::unique_ptr<TPlayer> ThePlayer;
  // Window-thread only; not changed while the player runs, so the end callback reads it unlocked.
  std::vector<std::unique_ptr<TLoadedTambrel>> Loaded;
};

}  // namespace tambrel
