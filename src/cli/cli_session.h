#pragma once
// What tambrel-cli needs of the program around it: the front end, a player to load the files into,
// and the MIDI outputs. The real session binds the script front end, the compiler, the player and the
// MIDI library; the tool's logic only sees these interfaces.

#include <memory>
#include <string>
#include <vector>

#include "app/compile_pipeline.h"
#include "app/output_routing.h"
#include "app/timeline.h"

namespace tambrel {

class TCliSession {
 public:
  virtual ~TCliSession() = default;
  virtual TFrontEnd& FrontEnd() = 0;
  virtual std::unique_ptr<TTimeline> NewTimeline() = 0;
  // The output list as the Settings tab fills it: the mapper entry first, then every port.
  virtual std::vector<std::string> PortNames() = 0;
  // A closed MIDI output for output n, selected by SetProductName before it opens.
  virtual std::unique_ptr<TOutputPort> NewPort(int n) = 0;
};

}  // namespace tambrel
