// tambrel-cli: checks, lists, plays and exports Tambrels from a terminal, with the window's messages.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_real_session.h"
#include "cli/cli_runner.h"
#include "support/app_paths.h"
#include "support/huge_page_heap.h"
#include "support/text_format.h"

int main(int argc, char** argv) {
  using namespace tambrel;
  UseHugePageHeap(argv);
  // A file size limit reached, or a reader that went away, is a write error to report, not the end of
  // the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    // The include folder is found beside the program, as the window finds it. The tool leaves the
    // debug file alone: the window may be writing it right now.
    SetProgramPaths();
    TRealSession session;
    TCliStreams streams;
    streams.OutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    return RunCli(args, session, streams);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tambrel-cli: %s\n", PrintableText(error.what()).c_str());
    return ExitUsageOrFile;
  }
}
