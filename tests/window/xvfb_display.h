#pragma once
// A private X server (Xvfb) for the whole-program tests, and the tools they drive it with.

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace tambrel {

class TXvfbDisplay {
 public:
  // Starts Xvfb on a display number it finds free; throws when it cannot.
  TXvfbDisplay();
  // What an X11 client of this display needs. libxkbcommon-x11 hands strndup a keymap name that is not
  // NUL-terminated within its buffer; the sanitizer suite's strict string checks would stop every Qt
  // client inside the X11 plugin at start, so they are left out here.
  std::vector<std::string> Environment() const {
    return {"DISPLAY=" + Display, "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"};
  }
  // Runs xdotool with the arguments on this display; its standard output.
  std::string XDoTool(const std::vector<std::string>& arguments, int timeoutMs = 20000) const;
  // Saves the screen as a PNG file through the grab tool beside the tests.
  bool Screenshot(const std::string& path) const;

 private:
  std::string Display;
  std::unique_ptr<TBackgroundChild> Server;
};

}  // namespace tambrel
