#pragma once
// What tambrel-cli needs of the program around it: the front end, a player to load the files into,
// and the MIDI outputs. The real session binds the script front end, the compiler, the player and the
// MIDI library; the tool's logic only sees these interfaces.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/compile_pipeline.h"
#include "app/midi_file_writer.h"
#include "app/output_routing.h"

namespace tambrel {

class TPlayer;

// One player and the Tambrels compiled into it.
class TCliTimeline {
 public:
  virtual ~TCliTimeline() = default;
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

class TCliSession {
 public:
  virtual ~TCliSession() = default;
  virtual TFrontEnd& FrontEnd() = 0;
  virtual std::unique_ptr<TCliTimeline> NewTimeline() = 0;
  // The output list as the Settings tab fills it: the mapper entry first, then every port.
  virtual std::vector<std::string> PortNames() = 0;
  // A closed MIDI output, selected by SetProductName before it opens.
  virtual std::unique_ptr<TOutputPort> NewPort() = 0;
};

}  // namespace tambrel
