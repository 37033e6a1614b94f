#include "cli/wake_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace tambrel {

namespace {

// Shared by the signal handler, which may run on any thread of the process (the player's too), and the
// guard's thread; one guard at a time. Lock-free atomics, since a volatile std::sig_atomic_t is only
// safe for a handler on the thread that reads it.
std::atomic<int> InterruptSeen{0};  // the signal, 0 before one came
std::atomic<int> InterruptWakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

void OnInterrupt(int signal) {
  const int saved = errno;
  InterruptSeen.store(signal);
  const int fd = InterruptWakeFd.load();
  if (fd >= 0) {
    const char byte = 'i';
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

TWakePipe::TWakePipe() {
  if (::pipe2(Fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
}

TWakePipe::~TWakePipe() {
  ::close(Fds[0]);
  ::close(Fds[1]);
}

void TWakePipe::Post() const {
  const char byte = 'w';
  [[maybe_unused]] const ssize_t written = ::write(Fds[1], &byte, 1);
}

bool TWakePipe::Wait(int timeoutMs) const {
  pollfd entry{Fds[0], POLLIN, 0};
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready <= 0) return false;  // timeout, or a signal whose handler posted (seen on the next wait)
  char buffer[64];
  while (::read(Fds[0], buffer, sizeof buffer) > 0) {
  }
  return true;
}

TInterruptGuard::TInterruptGuard(const TWakePipe& pipe) {
  InterruptSeen.store(0);
  InterruptWakeFd.store(pipe.WriteFd());
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ::sigaction(SIGINT, &action, &OldInt);
  ::sigaction(SIGTERM, &action, &OldTerm);
}

TInterruptGuard::~TInterruptGuard() {
  ::sigaction(SIGINT, &OldInt, nullptr);
  ::sigaction(SIGTERM, &OldTerm, nullptr);
  InterruptWakeFd.store(-1);
}

int TInterruptGuard::Interrupted() {
  return InterruptSeen.load();
}

}  // namespace tambrel
