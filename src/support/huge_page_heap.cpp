#include "support/huge_page_heap.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace tambrel {

namespace {

constexpr const char* Tunables = "GLIBC_TUNABLES";
constexpr const char* HugeHeap = "glibc.malloc.hugetlb";
// Carries the user's GLIBC_TUNABLES across the restart: "unset", or "set:" and the value.
constexpr const char* UserTunables = "TAMBREL_USER_GLIBC_TUNABLES";
constexpr const char* WasUnset = "unset";
constexpr const char* WasSet = "set:";

// GLIBC_TUNABLES as UseHugePageHeap found it, before giving the user's back. Written before any thread
// exists, read-only afterwards.
bool TunablesSeen = false;
std::optional<std::string> TunablesAtStart;

// "always" or "madvise" (glibc asks per mapping); "never", or a kernel without the file, makes a restart
// pointless.
bool HugePagesAvailable() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text;
  std::getline(mode, text);
  return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

// The file the process runs; empty when unknown.
std::string ProgramPath() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// Started through the dynamic loader ("ld.so program ..."), the process runs the loader, and running it
// again with the program's arguments would not start the program.
bool IsLoader(const std::string& program) {
  return program.substr(program.rfind('/') + 1).rfind("ld-", 0) == 0;
}

// Puts GLIBC_TUNABLES back from the note the first run left; false when there is none (no restart).
bool RestoreUserTunables() {
  const char* note = std::getenv(UserTunables);
  if (note == nullptr) return false;
  const std::string saved = note;
  if (saved.rfind(WasSet, 0) == 0)
    ::setenv(Tunables, saved.c_str() + std::char_traits<char>::length(WasSet), 1);
  else
    ::unsetenv(Tunables);
  ::unsetenv(UserTunables);
  return true;
}

}  // namespace

void UseHugePageHeap(char** argv) {
  const char* given = std::getenv(Tunables);
  TunablesSeen = true;
  if (given != nullptr) TunablesAtStart = given;
  if (RestoreUserTunables()) return;
  const std::string before = given != nullptr ? given : "";
  if (before.find(HugeHeap) != std::string::npos || argv == nullptr || argv[0] == nullptr) return;
  if (!HugePagesAvailable()) return;
  const std::string program = ProgramPath();
  if (program.empty() || IsLoader(program)) return;
  const std::string note = given != nullptr ? WasSet + before : WasUnset;
  const std::string wanted = (before.empty() ? "" : before + ":") + HugeHeap + "=1";
  if (::setenv(UserTunables, note.c_str(), 1) != 0 || ::setenv(Tunables, wanted.c_str(), 1) != 0) {
    RestoreUserTunables();
    return;
  }
  ::execv(program.c_str(), argv);
  // Still here: the restart failed. Run on as started, with the environment as it was.
  RestoreUserTunables();
}

std::optional<std::string> StartTunables() {
  if (TunablesSeen) return TunablesAtStart;
  const char* current = std::getenv(Tunables);
  return current != nullptr ? std::optional<std::string>(current) : std::nullopt;
}

}  // namespace tambrel
