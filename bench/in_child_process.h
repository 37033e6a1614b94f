#pragma once
// Runs a measurement in a fresh child process. Memory freed by an earlier run stays in the allocator's
// free lists, and a later run in the same process would reuse it and measure far less than a first run
// really costs.
#include <sys/wait.h>
#include <unistd.h>

#include <type_traits>

namespace tambrel::bench {

// measure() in a child, its result read back through a pipe; a value-initialised T when the child could
// not run or report. T is copied as bytes.
template <class T, class F>
T InChildProcess(F measure) {
  static_assert(std::is_trivially_copyable_v<T>);
  int fds[2];
  if (pipe(fds) != 0) return T();
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const T result = measure();
    const ssize_t written = write(fds[1], &result, sizeof result);
    _exit(written == static_cast<ssize_t>(sizeof result) ? 0 : 1);
  }
  close(fds[1]);
  T result{};
  if (child < 0 || read(fds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) result = T();
  close(fds[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return result;
}

}  // namespace tambrel::bench
