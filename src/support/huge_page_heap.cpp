#include "support/huge_page_heap.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace tambrel {

namespace {

constexpr const char* Tunables = "GLIBC_TUNABLES";
constexpr const char* HugeHeap = "glibc.malloc.hugetlb";

// "always" or "madvise" (glibc asks per mapping); "never", or a kernel without the file, makes a restart
// pointless.
bool HugePagesAvailable() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text;
  std::getline(mode, text);
  return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

// Started through the dynamic loader ("ld.so program ..."), /proc/self/exe is the loader, and running it
// again with the program's arguments would not start the program.
bool StartedThroughLoader() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return true;
  const std::string exe(path, static_cast<size_t>(length));
  return exe.substr(exe.rfind('/') + 1).rfind("ld-", 0) == 0;
}

}  // namespace

void UseHugePageHeap(char** argv) {
  const char* given = std::getenv(Tunables);
  const std::string before = given != nullptr ? given : "";
  if (before.find(HugeHeap) != std::string::npos || argv == nullptr || argv[0] == nullptr) return;
  if (!HugePagesAvailable() || StartedThroughLoader()) return;
  const std::string wanted = (before.empty() ? "" : before + ":") + HugeHeap + "=1";
  if (::setenv(Tunables, wanted.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Still here: the restart failed. Run on as started, and keep the setting from the programs started
  // later, which it was not meant for.
  if (given != nullptr)
    ::setenv(Tunables, before.c_str(), 1);
  else
    ::unsetenv(Tunables);
}

}  // namespace tambrel
