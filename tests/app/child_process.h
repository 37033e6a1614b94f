#pragma once
// Runs a program as a child process and collects what it writes, for the end-to-end tests of the
// command-line tool.

#include <string>
#include <vector>

namespace tambrel {

struct TChildResult {
  std::string Out;
  std::string Err;
  int ExitStatus = -1;  // -1 when the child did not exit normally
  int Signal = 0;       // the signal that ended it, 0 when it exited
  bool TimedOut = false;
};

struct TChildOptions {
  std::string Input;                          // what the child reads on its standard input
  std::vector<std::string> ExtraEnvironment;  // "NAME=value" added to the inherited environment
  int TimeoutMs = 60000;                      // the child is killed after this long
  // InterruptSignal is sent once after InterruptAfterMs milliseconds (0: never), as a user's Ctrl+C is.
  int InterruptAfterMs = 0;
  int InterruptSignal = 2;  // SIGINT
  // Standard output is a pipe whose reading end is closed before the child starts.
  bool OutputPipeClosed = false;
};

// argv[0] is the program's path. Throws std::system_error when the child cannot be started.
TChildResult RunChild(const std::vector<std::string>& argv, const TChildOptions& options = {});

// A child left running in the background (a server, a MIDI monitor) with both its output streams
// going to one file; stopped with SIGTERM when it goes, if it has not ended before.
class TBackgroundChild {
 public:
  TBackgroundChild(const std::vector<std::string>& argv, const std::string& outputFile,
                   const std::vector<std::string>& extraEnvironment = {});
  ~TBackgroundChild() { Stop(); }
  TBackgroundChild(const TBackgroundChild&) = delete;
  TBackgroundChild& operator=(const TBackgroundChild&) = delete;
  // Sends SIGTERM and waits for the end; returns what the child wrote.
  std::string Stop();
  bool Running();

 private:
  int Pid = -1;
  std::string OutputFile;
};

}  // namespace tambrel
