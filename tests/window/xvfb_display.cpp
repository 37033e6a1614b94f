#include "xvfb_display.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace tambrel {

TXvfbDisplay::TXvfbDisplay() {
  int number = 90;
  while (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
         std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
    ++number;
  Display = ":" + std::to_string(number);
  const std::string log = "/tmp/tambrel-xvfb" + std::to_string(::getpid()) + ".log";
  Server = std::make_unique<TBackgroundChild>(
      std::vector<std::string>{"/usr/bin/Xvfb", Display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
      log);
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
  for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!std::filesystem::exists(socket)) throw std::runtime_error("Xvfb did not start: " + Server->Stop());
}

TXvfbDisplay::~TXvfbDisplay() = default;

std::string TXvfbDisplay::XDoTool(const std::vector<std::string>& arguments, int timeoutMs) const {
  std::vector<std::string> argv{"/usr/bin/xdotool"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  TChildOptions options;
  options.ExtraEnvironment = Environment();
  options.TimeoutMs = timeoutMs;
  return RunChild(argv, options).Out;
}

bool TXvfbDisplay::Screenshot(const std::string& path) const {
  TChildOptions options;
  options.ExtraEnvironment = Environment();
  return RunChild({TAMBREL_SCREEN_GRAB, path}, options).ExitStatus == 0;
}

}  // namespace tambrel
