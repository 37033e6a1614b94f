#include "support/file_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <utility>

namespace tambrel {

TFileRead ReadWholeFile(const std::string& path) {
  TFileRead file;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  auto fail = [&file](const char* step, int error) {
    file.FailedStep = step;
    file.Error = error;
    return std::move(file);
  };
  if (fd < 0) return fail("open", errno);
  struct FdCloser {
    int Fd;
    ~FdCloser() { ::close(Fd); }
  } closer{fd};
  if (::fstat(fd, &file.Info) != 0) return fail("read", errno);
  if (!S_ISREG(file.Info.st_mode)) {
    file.Regular = false;
    return file;
  }
  if (file.Info.st_size > std::numeric_limits<int32_t>::max()) return fail("read", EFBIG);
  file.Text.resize(static_cast<std::size_t>(file.Info.st_size));
  std::size_t done = 0;
  while (done < file.Text.size()) {
    const ssize_t got = ::read(fd, file.Text.data() + done, file.Text.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return fail("read", errno);
    }
    if (got == 0) break;  // the file shrank while being read
    done += static_cast<std::size_t>(got);
  }
  file.Text.resize(done);
  return file;
}

}  // namespace tambrel
