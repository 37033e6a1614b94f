#include "player/realtime_scheduling.h"

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/text_format.h"

namespace tambrel {

namespace {

int TryFifo(pthread_t thread, int priority) {
  sched_param param{};
  param.sched_priority = priority;
  return pthread_setschedparam(thread, SCHED_FIFO, &param);
}

// The highest priority an unprivileged thread may take, 0 when it may take none.
int RtprioLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_RTPRIO, &limit) != 0) return 0;
  return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, RealtimePriority));
}

}  // namespace

std::string RequestRealtimeScheduling(pthread_t thread) {
  // Privileged (root, CAP_SYS_NICE) first; RLIMIT_RTPRIO is what the audio group is given instead.
  int priority = RealtimePriority;
  int error = TryFifo(thread, priority);
  if (error == EPERM && (priority = RtprioLimit()) > 0) error = TryFifo(thread, priority);
  if (error == 0) return StrFormat("real-time (SCHED_FIFO, priority %d)", priority);
  if (error == EPERM) return "normal (real-time scheduling not permitted)";
  return StrFormat("normal (real-time scheduling refused: %s)", std::strerror(error));
}

}  // namespace tambrel
