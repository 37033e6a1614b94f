#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>

#include "support/file_read.h"

extern char** environ;

namespace tambrel {

namespace {

// A file of its own for each stream of each child.
std::string TempFile(const char* stream) {
  static std::atomic<int> counter{0};
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tambrel-child-" +
         std::to_string(::getpid()) + "-" + std::to_string(++counter) + "." + stream;
}

// An extra entry replaces the inherited one of its name: with both, the child would see the first.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  std::vector<std::string> env = extra;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (std::none_of(extra.begin(), extra.end(),
                     [&](const std::string& e) { return nameOf(e) == nameOf(*entry); }))
      env.emplace_back(*entry);
  return env;
}

// Starts argv (argv[0] looked up in PATH unless it has a slash) with the file actions, which it frees.
pid_t Spawn(std::vector<std::string> argv, const std::vector<std::string>& extraEnvironment,
            posix_spawn_file_actions_t& actions) {
  std::vector<std::string> env = EnvironmentWith(extraEnvironment);
  std::vector<char*> argPointers, envPointers;
  for (std::string& arg : argv) argPointers.push_back(arg.data());
  for (std::string& entry : env) envPointers.push_back(entry.data());
  argPointers.push_back(nullptr);
  envPointers.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::system_error(spawned, std::generic_category(), "posix_spawn " + argv[0]);
  return pid;
}

int WaitForEnd(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

// The streams go through files, not pipes: a child never waits for the test to read, and the wait for its
// end is all the loop has to do.
TChildResult RunChild(const std::vector<std::string>& argv, const TChildOptions& options) {
  const std::string in = TempFile("in"), out = TempFile("out"), err = TempFile("err");
  std::ofstream(in, std::ios::binary) << options.Input;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  int closedPipe[2] = {-1, -1};
  if (options.OutputPipeClosed && ::pipe2(closedPipe, O_CLOEXEC) == 0) {
    ::close(closedPipe[0]);
    posix_spawn_file_actions_adddup2(&actions, closedPipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = Spawn(argv, options.ExtraEnvironment, actions);
  if (closedPipe[1] >= 0) ::close(closedPipe[1]);

  TChildResult result;
  const auto start = std::chrono::steady_clock::now();
  const auto after = [&](int ms) {
    return std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(ms);
  };
  bool interrupted = false;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (options.InterruptAfterMs > 0 && !interrupted && after(options.InterruptAfterMs)) {
      ::kill(pid, options.InterruptSignal);
      interrupted = true;
    }
    if (after(options.TimeoutMs)) {
      ::kill(pid, SIGKILL);
      result.TimedOut = true;
      status = WaitForEnd(pid);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (WIFEXITED(status)) result.ExitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  result.Out = ReadWholeFile(out).Text;
  result.Err = ReadWholeFile(err).Text;
  for (const std::string& file : {in, out, err}) ::unlink(file.c_str());
  return result;
}

TBackgroundChild::TBackgroundChild(const std::vector<std::string>& argv, const std::string& outputFile,
                                   const std::vector<std::string>& extraEnvironment)
    : OutputFile(outputFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  Pid = Spawn(argv, extraEnvironment, actions);
}

bool TBackgroundChild::Running() {
  int status = 0;
  if (Pid >= 0 && ::waitpid(Pid, &status, WNOHANG) == Pid) Pid = -1;
  return Pid >= 0;
}

std::string TBackgroundChild::Stop() {
  if (Pid >= 0) {
    ::kill(Pid, SIGTERM);
    WaitForEnd(Pid);
    Pid = -1;
  }
  return ReadWholeFile(OutputFile).Text;
}

}  // namespace tambrel
