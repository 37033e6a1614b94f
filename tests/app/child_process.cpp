#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

extern char** environ;

namespace tambrel {

namespace {

struct TPipe {
  int Fd[2] = {-1, -1};
  TPipe() {
    if (::pipe2(Fd, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  }
  ~TPipe() { CloseBoth(); }
  void Close(int end) {
    if (Fd[end] >= 0) ::close(Fd[end]);
    Fd[end] = -1;
  }
  void CloseBoth() {
    Close(0);
    Close(1);
  }
};

std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// An extra entry replaces the inherited one of its name: with both, the child would see the first.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = nameOf(*entry);
    if (std::none_of(extra.begin(), extra.end(), [&](const std::string& e) { return nameOf(e) == name; }))
      env.emplace_back(*entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(count));
  ::close(fd);
  return text;
}

}  // namespace

TChildResult RunChild(const std::vector<std::string>& argv, const TChildOptions& options) {
  TPipe in, out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.Fd[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out.Fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.Fd[1], 2);

  std::vector<std::string> args = argv;
  std::vector<std::string> env = EnvironmentWith(options.ExtraEnvironment);
  std::vector<char*> argPointers = CStrings(args);
  std::vector<char*> envPointers = CStrings(env);

  if (options.OutputPipeClosed) out.Close(0);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::system_error(spawned, std::generic_category(), "posix_spawn " + args[0]);
  in.Close(0);
  out.Close(1);
  err.Close(1);

  // Short inputs only: the pipe's buffer takes them without blocking.
  if (!options.Input.empty()) {
    [[maybe_unused]] const ssize_t written = ::write(in.Fd[1], options.Input.data(), options.Input.size());
  }
  in.Close(1);

  TChildResult result;
  const auto start = std::chrono::steady_clock::now();
  bool interrupted = false;
  auto elapsedMs = [&] {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
  };
  while (out.Fd[0] >= 0 || err.Fd[0] >= 0) {
    pollfd fds[2] = {{out.Fd[0], POLLIN, 0}, {err.Fd[0], POLLIN, 0}};
    int wait = options.TimeoutMs - elapsedMs();
    if (options.InterruptAfterMs > 0 && !interrupted)
      wait = std::min(wait, options.InterruptAfterMs - elapsedMs());
    if (wait < 0) wait = 0;
    const int ready = ::poll(fds, 2, wait);
    if (ready < 0 && errno != EINTR) break;
    if (options.InterruptAfterMs > 0 && !interrupted && elapsedMs() >= options.InterruptAfterMs) {
      ::kill(pid, options.InterruptSignal);
      interrupted = true;
    }
    if (elapsedMs() >= options.TimeoutMs) {
      ::kill(pid, SIGKILL);
      result.TimedOut = true;
      break;
    }
    std::string* targets[2] = {&result.Out, &result.Err};
    TPipe* pipes[2] = {&out, &err};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[4096];
      const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0)
        targets[i]->append(buffer, static_cast<size_t>(count));
      else
        pipes[i]->Close(0);
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.ExitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
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
  std::vector<std::string> args = argv;
  std::vector<std::string> env = EnvironmentWith(extraEnvironment);
  std::vector<char*> argPointers = CStrings(args);
  std::vector<char*> envPointers = CStrings(env);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::system_error(spawned, std::generic_category(), "posix_spawn " + args[0]);
  Pid = pid;
}

TBackgroundChild::~TBackgroundChild() {
  Stop();
}

bool TBackgroundChild::Running() {
  if (Pid < 0) return false;
  int status = 0;
  if (::waitpid(Pid, &status, WNOHANG) == Pid) {
    Pid = -1;
    return false;
  }
  return true;
}

std::string TBackgroundChild::Stop() {
  if (Pid >= 0) {
    ::kill(Pid, SIGTERM);
    int status = 0;
    while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
    }
    Pid = -1;
  }
  return ReadWholeFile(OutputFile);
}

}  // namespace tambrel
