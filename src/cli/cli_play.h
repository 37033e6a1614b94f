#pragma once
// Real-time play of a loaded timeline through the routing: the outputs the command line asks for,
// the trace lines, the clock on a status line, and the end after every end marker or on Ctrl+C.

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"

namespace tambrel {

// Exit statuses when play ends on a signal: 128 + SIGINT (not with --repeat, which Ctrl+C ends), and
// 128 + SIGTERM.
constexpr int ExitInterrupted = 130;
constexpr int ExitTerminated = 143;

// tambrelCount is the number of Tambrels loaded, i.e. of end markers that end one pass.
int PlayTimeline(const TCliOptions& options, TCliSession& session, TTimeline& timeline, int tambrelCount,
                 const TCliStreams& streams);

}  // namespace tambrel
