#include "app/window_program_parts.h"

#include "midi/midi_service.h"
#include "player/player.h"
#include "support/app_paths.h"

namespace tambrel {

TWindowProgramParts::TWindowProgramParts(const std::string& iniFileName, const std::string& dumpFileName) {
  TMidiOutService& service = SystemMidiService();
  for (size_t i = 0; i < Ports.size(); ++i) {
    Ports[i] = std::make_unique<TMidiOutputPort>(service, static_cast<int>(i) + 1);
    Parts.Controller.Ports[i] = Ports[i].get();
  }
  Parts.Controller.FrontEnd = &FrontEnd;
  Parts.Controller.DeviceNames = [&service] { return MidiOutputNames(service); };
  Parts.Controller.NewPlayer = [] { return std::make_unique<TPlayer>(); };
  Parts.Controller.AppPath = AppPath();
  Parts.Controller.IniFileName = iniFileName;
  Parts.Controller.DumpFileName = dumpFileName;
}

}  // namespace tambrel
