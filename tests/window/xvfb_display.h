#pragma once
// A private X server (Xvfb) for the whole-program tests, and the tools they drive it with.

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace tambrel {

class TXvfbDisplay {
 public:
  // Starts Xvfb on the first free display number from 90 on; throws std::runtime_error.
  TXvfbDisplay();
  ~TXvfbDisplay();
  const std::string& Name() const { return Display; }  // ":N"
  std::vector<std::string> Environment() const { return {"DISPLAY=" + Display}; }
  // Runs xdotool with the arguments on this display; its standard output.
  std::string XDoTool(const std::vector<std::string>& arguments, int timeoutMs = 20000) const;
  // Saves the screen as a PNG file through the grab tool beside the tests.
  bool Screenshot(const std::string& path) const;

 private:
  std::string Display;
  std::unique_ptr<TBackgroundChild> Server;
};

}  // namespace tambrel
