#include "support/start_target.h"

#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>

extern char** environ;

namespace tambrel {

namespace {

void OpenWithXdgOpen(const std::string& target) {
  std::string program = "xdg-open";
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "xdg-open", nullptr, nullptr, argv, environ) != 0) return;
  // Reap the opener in the background so that it leaves no zombie behind.
  std::thread([child] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
}

std::mutex openerLock;
TargetOpener currentOpener;  // guarded by openerLock

}  // namespace

void SetTargetOpener(TargetOpener opener) {
  std::lock_guard guard(openerLock);
  currentOpener = std::move(opener);
}

void StartTarget(const std::string& target) {
  TargetOpener opener;
  {
    std::lock_guard guard(openerLock);
    opener = currentOpener;
  }
  if (opener)
    opener(target);
  else
    OpenWithXdgOpen(target);
}

}  // namespace tambrel
