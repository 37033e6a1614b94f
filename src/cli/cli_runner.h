#pragma once
// The commands of tambrel-cli over a session: check, items, dump, play, export and ports.

#include <cstdio>

#include "cli/cli_options.h"
#include "cli/cli_session.h"

namespace tambrel {

// Exit statuses of the tool.
constexpr int ExitSuccess = 0;
constexpr int ExitScriptErrors = 1;
constexpr int ExitUsageOrFile = 2;

struct TCliStreams {
  std::FILE* Out = stdout;
  std::FILE* Err = stderr;
  // play shows its clock on a status line only when Out is a terminal.
  bool OutIsTerminal = false;
};

// Runs one parsed command line; returns the exit status. Errors are reported on streams.Err.
int RunCliCommand(const TCliOptions& options, TCliSession& session, const TCliStreams& streams);

// Parses args (without the program name) and runs the command, --help included.
int RunCli(const std::vector<std::string>& args, TCliSession& session, const TCliStreams& streams);

}  // namespace tambrel
