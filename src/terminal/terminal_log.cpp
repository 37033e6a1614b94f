#include "terminal/terminal_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "support/runtime_errors.h"

namespace tambrel {

TTerminalLog::~TTerminalLog() {
  Close();
}

void TTerminalLog::Open(const std::string& fileName) {
  Close();
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) ThrowFileError("open", fileName);
  Fd = fd;
  FileName = fileName;
}

void TTerminalLog::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(Fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError("write", FileName);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void TTerminalLog::Close() {
  if (Fd < 0) return;
  ::close(Fd);
  Fd = -1;
}

}  // namespace tambrel
