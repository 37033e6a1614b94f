// The timer thread's scheduling as the rights of the process allow it, each case in a child process
// whose rights are lowered as an ordinary user's or an audio group member's are.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "player/play_clock.h"
#include "support/text_format.h"

namespace tambrel {
namespace {

constexpr int Skipped = 77;

// rtprio < 0: the test process's own rights, when they are root's.
int InChild(int rtprio, const std::string& expected) {
  const rlimit limit{static_cast<rlim_t>(rtprio), static_cast<rlim_t>(rtprio)};
  if (rtprio < 0 ? geteuid() != 0 : setrlimit(RLIMIT_RTPRIO, &limit) != 0) return Skipped;
  if (rtprio >= 0 && geteuid() == 0 && setuid(65534) != 0) return Skipped;  // nobody: the limit applies
  TSteadyPlayClock clock;
  std::atomic<bool> fired{false};
  std::string seen;  // what the thread that runs the handler really has
  clock.Start([&](uint64_t) {
    int policy = 0;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    seen = policy == SCHED_FIFO ? StrFormat("real-time (SCHED_FIFO, priority %d)", param.sched_priority)
                                : "normal (real-time scheduling not permitted)";
    fired = true;
  });
  clock.Arm(clock.NowUs(), 1);
  while (!fired) usleep(1000);
  std::fprintf(stderr, "expected \"%s\", said \"%s\", has \"%s\"\n", expected.c_str(),
               clock.Scheduling().c_str(), seen.c_str());
  return clock.Scheduling() == expected && seen == expected ? 0 : 1;
}

TEST(RealtimeScheduling, AsTheRightsAllowAndSaidAsGot) {
  const std::pair<int, const char*> cases[] = {{-1, "real-time (SCHED_FIFO, priority 10)"},
                                               {0, "normal (real-time scheduling not permitted)"},
                                               {5, "real-time (SCHED_FIFO, priority 5)"},
                                               {95, "real-time (SCHED_FIFO, priority 10)"}};
  for (const auto& [rtprio, expected] : cases) {
    const pid_t child = fork();
    if (child == 0) _exit(InChild(rtprio, expected));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == Skipped) << "RLIMIT_RTPRIO " << rtprio;
  }
}

}  // namespace
}  // namespace tambrel
