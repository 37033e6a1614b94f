#pragma once
// One player and the Tambrels compiled into it, as a command sees them: load, dump, the merged data
// items, and real-time play through callbacks.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/compile_pipeline.h"
#include "app/output_routing.h"

namespace tambrel {

class TPlayer;

// One data item of the timeline as the player delivers it (simultaneous items of one device joined).
struct TExportItem {
  uint32_t Time = 0;
  int32_t Device = 0;
  std::vector<uint8_t> Bytes;
};

class TTimeline {
 public:
  virtual ~TTimeline() = default;
  // Handed to the pipeline so that a compile adds its items here.
  virtual TPlayer* Player() = 0;
  // Takes ownership of a Tambrel compiled into Player(); kept until the timeline goes.
  virtual void AddLoaded(std::unique_ptr<TParsedTambrel> tambrel) = 0;
  // The player's batch dump, one text per line.
  virtual std::vector<std::string> DumpLines() = 0;
  // The data items in play order, simultaneous items of one device joined as the player joins them,
  // and the time of the last end marker.
  virtual std::vector<TExportItem> DataItems(uint32_t& endTime) = 0;

  // Playing. The callbacks run on the player's thread; set them before Start.
  std::function<void(const TRoutedItem& item)> OnData;
  // An end marker played; the name of the Tambrel it ends (empty when it names none).
  std::function<void(const std::string& name)> OnEnd;
  // False when the player refuses to start (it repeats no timeline of fewer than two items).
  virtual bool Start(bool repeat) = 0;
  // Stops the player; no callback runs once this returns.
  virtual void Stop() = 0;
};

}  // namespace tambrel
