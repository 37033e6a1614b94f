#pragma once
// The tool's session on the real program: the script front end, the player, the system's MIDI ports.

#include "app/script_front_end.h"
#include "cli/cli_session.h"

namespace tambrel {

class TRealSession : public TCliSession {
 public:
  TFrontEnd& FrontEnd() override { return Front; }
  std::unique_ptr<TTimeline> NewTimeline() override;
  std::vector<std::string> PortNames() override;
  std::unique_ptr<TOutputPort> NewPort(int n) override;

 private:
  TScriptFrontEnd Front;
};

}  // namespace tambrel
