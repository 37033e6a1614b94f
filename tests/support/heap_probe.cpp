// Started by the huge-page heap tests: says "start" each time main begins, then, after the restart
// (if any), the tunables it runs with and its arguments. Raw writes: a restart drops buffered output.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/huge_page_heap.h"

namespace {
void Say(const std::string& text) {
  const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
  (void)written;
}
}  // namespace

int main(int argc, char** argv) {
  Say("start\n");
  tambrel::UseHugePageHeap(argv);
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  Say(std::string("tunables=") + (tunables != nullptr ? tunables : "(unset)") + "\n");
  for (int i = 1; i < argc; ++i) Say(std::string("arg=") + argv[i] + "\n");
  return 0;
}
