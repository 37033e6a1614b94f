#include "xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace tambrel {

TXvfbDisplay::TXvfbDisplay() {
  // Xvfb takes the first free display number itself and writes it to the pipe once it accepts
  // clients: tests started at the same time cannot pick the same number, as they could when the lock
  // files were looked at first.
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe for Xvfb");
  ::fcntl(pipeFds[1], F_SETFD, 0);  // the server's end
  Server = std::make_unique<TBackgroundChild>(
      std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                               "1280x800x24", "-nolisten", "tcp"},
      "/tmp/tambrel-xvfb" + std::to_string(::getpid()) + ".log");
  ::close(pipeFds[1]);
  std::string number;
  pollfd ready{pipeFds[0], POLLIN, 0};
  for (char c = 0; ::poll(&ready, 1, 10000) > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n';)
    if (c >= '0' && c <= '9') number += c;
  ::close(pipeFds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start: " + Server->Stop());
  Display = ":" + number;
}

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
