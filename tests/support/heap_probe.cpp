// Started by the huge-page heap tests: says "start" each time main begins, then, after the restart
// (if any), the tunables it was started with and those it now has, its name, its arguments, and with
// the argument "spawn" the environment of a child it starts. Raw writes: a restart drops buffered
// output.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "support/huge_page_heap.h"

extern char** environ;

namespace {
void Say(const std::string& text) {
  [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
}
}  // namespace

int main(int argc, char** argv) {
  Say("start\n");
  tambrel::UseHugePageHeap(argv);
  Say("started with=" + tambrel::StartTunables().value_or("(unset)") + "\n");
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  Say(std::string("tunables=") + (tunables != nullptr ? tunables : "(unset)") + "\n");
  std::string name;
  std::getline(std::ifstream("/proc/self/comm"), name);
  Say("comm=" + name + "\n");
  for (int i = 1; i < argc; ++i) Say(std::string("arg=") + argv[i] + "\n");
  if (std::find(argv + 1, argv + argc, std::string_view("spawn")) != argv + argc) {
    char program[] = "/usr/bin/env";
    char* childArgv[] = {program, nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, program, nullptr, nullptr, childArgv, environ) != 0) return 1;
    int status = 0;
    if (::waitpid(child, &status, 0) != child || status != 0) return 1;
  }
  return 0;
}
