#include "child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace tambrel {
namespace {

TEST(ChildProcessTest, KeepsTheStreamsApartAndReportsHowTheChildEnded) {
  TChildOptions input;
  input.Input = "hello\n";
  const TChildResult result =
      RunChild({"/bin/sh", "-c", "read line; echo \"out $line\"; echo err >&2; exit 3"}, input);
  EXPECT_EQ(result.Out, "out hello\n");
  EXPECT_EQ(result.Err, "err\n");
  EXPECT_EQ(result.ExitStatus, 3);
  EXPECT_FALSE(result.TimedOut);

  TChildOptions interrupt;
  interrupt.InterruptAfterMs = 100;
  const TChildResult stopped = RunChild({"/bin/sh", "-c", "exec sleep 30"}, interrupt);
  EXPECT_EQ(stopped.Signal, SIGINT);
  EXPECT_EQ(stopped.ExitStatus, -1);

  TChildOptions shortLimit;
  shortLimit.TimeoutMs = 100;
  EXPECT_TRUE(RunChild({"/bin/sh", "-c", "exec sleep 30"}, shortLimit).TimedOut);
}

}  // namespace
}  // namespace tambrel
