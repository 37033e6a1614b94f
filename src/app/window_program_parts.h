#pragma once
// What the window program gives its main window besides the other windows: the front end, the four
// MIDI ports on the system's MIDI service with their device list, the player, and the program's paths.

#include <array>
#include <memory>
#include <string>

#include "app/form_tambrel.h"
#include "app/midi_output_port.h"
#include "app/script_front_end.h"

namespace tambrel {

class TWindowProgramParts {
 public:
  TWindowProgramParts(const std::string& iniFileName, const std::string& dumpFileName);
  TWindowProgramParts(const TWindowProgramParts&) = delete;
  TWindowProgramParts& operator=(const TWindowProgramParts&) = delete;

  TFormTambrelParts Parts;  // points into this object

 private:
  TScriptFrontEnd FrontEnd;
  std::array<std::unique_ptr<TMidiOutputPort>, TOutputRouting::OutputCount> Ports;
};

}  // namespace tambrel
