#pragma once
// A self-pipe: other threads and signal handlers wake a thread that waits in poll(2).

#include <csignal>

namespace tambrel {

class TWakePipe {
 public:
  TWakePipe();  // throws std::system_error
  ~TWakePipe();
  TWakePipe(const TWakePipe&) = delete;
  TWakePipe& operator=(const TWakePipe&) = delete;

  // Async-signal-safe; a full pipe already means a wake-up is pending, so nothing is lost.
  void Post() const;
  // Waits until posted or timeoutMs passed (-1: no limit); empties the pipe. True when posted.
  bool Wait(int timeoutMs) const;
  int WriteFd() const { return Fds[1]; }

 private:
  int Fds[2] = {-1, -1};
};

// While it lives, SIGINT and SIGTERM set Interrupted() to the signal and post the pipe instead of ending
// the process.
class TInterruptGuard {
 public:
  explicit TInterruptGuard(const TWakePipe& pipe);
  ~TInterruptGuard();
  TInterruptGuard(const TInterruptGuard&) = delete;
  TInterruptGuard& operator=(const TInterruptGuard&) = delete;
  static int Interrupted();  // 0 while no signal came

 private:
  struct sigaction OldInt {};
  struct sigaction OldTerm {};
};

}  // namespace tambrel
