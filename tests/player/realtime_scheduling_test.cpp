// The timer thread's scheduling as granted by the rights of the process, each case in a child process
// whose rights are lowered as a user's or an audio group member's would be.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "player/play_clock.h"
#include "support/text_format.h"

namespace tambrel {
namespace {

constexpr int Skipped = 77;

// What the thread that runs the handler really has, in the words Scheduling() uses.
std::string SchedulingSeenByHandler(TSteadyPlayClock& clock) {
  std::atomic<bool> fired{false};
  std::string seen;
  clock.Start([&](uint64_t) {
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    seen = policy == SCHED_FIFO ? StrFormat("real-time (SCHED_FIFO, priority %d)", param.sched_priority)
                                : "normal (real-time scheduling not permitted)";
    fired = true;
  });
  clock.Arm(clock.NowUs(), 1);
  while (!fired) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return seen;
}

// rtprio < 0: the test process's own rights.
int InChild(int rtprio, const std::string& expected) {
  if (rtprio >= 0) {
    rlimit limit{};
    getrlimit(RLIMIT_RTPRIO, &limit);
    if (geteuid() != 0 && limit.rlim_max < static_cast<rlim_t>(rtprio)) return Skipped;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(rtprio);
    if (setrlimit(RLIMIT_RTPRIO, &limit) != 0) return Skipped;
    if (geteuid() == 0 && setuid(65534) != 0) return Skipped;  // nobody: the limit applies
  } else if (geteuid() != 0) {
    return Skipped;
  }
  TSteadyPlayClock clock;
  const std::string seen = SchedulingSeenByHandler(clock);
  std::fprintf(stderr, "expected \"%s\", reported \"%s\", thread has \"%s\"\n", expected.c_str(),
               clock.Scheduling().c_str(), seen.c_str());
  return clock.Scheduling() == expected && seen == expected ? 0 : 1;
}

TEST(RealtimeScheduling, AsTheRightsAllowAndSaidAsGot) {
  const struct {
    int rtprio;
    const char* expected;
  } cases[] = {{-1, "real-time (SCHED_FIFO, priority 10)"},
               {0, "normal (real-time scheduling not permitted)"},
               {5, "real-time (SCHED_FIFO, priority 5)"},
               {95, "real-time (SCHED_FIFO, priority 10)"}};
  for (const auto& c : cases) {
    const pid_t child = fork();
    if (child == 0) _exit(InChild(c.rtprio, c.expected));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == Skipped) continue;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "RLIMIT_RTPRIO " << c.rtprio;
  }
}

}  // namespace
}  // namespace tambrel
