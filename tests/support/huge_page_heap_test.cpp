#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Runs the probe through the shell with the given environment prefix and returns what it printed.
std::string Probe(const std::string& environment, const std::string& arguments) {
  const std::string command = environment + " " + TAMBREL_HEAP_PROBE + " " + arguments;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "(no shell)";
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  EXPECT_EQ(::pclose(pipe), 0) << command;
  return out;
}

struct TProbeCase {
  const char* environment;  // the whole environment the probe starts with
  const char* arguments;
  const char* expected;  // after "start\n" and the tunables it was started with
};

// "spawn": the probe's child prints its environment (/usr/bin/env), which must be the user's.
TEST(HugePageHeap, RestartsOnceKeepingArgumentsNameAndTheUsersEnvironment) {
  std::string mode;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), mode);
  if (mode.empty() || mode.find("[never]") != std::string::npos) {
    EXPECT_EQ(Probe("env -i KEEP=1", "spawn"),
              "start\nstarted with=(unset)\ntunables=(unset)\ncomm=heap_probe\narg=spawn\nKEEP=1\n");
    GTEST_SKIP() << "no transparent huge pages here: only the no-restart case was checked";
  }
  const TProbeCase cases[] = {
      {"env -i KEEP=1", "spawn",
       "glibc.malloc.hugetlb=1\ntunables=(unset)\ncomm=heap_probe\narg=spawn\nKEEP=1\n"},
      // Other tunables are kept in front, and given back alone.
      {"env -i GLIBC_TUNABLES=glibc.malloc.arena_max=2 KEEP=1", "spawn",
       "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1\ntunables=glibc.malloc.arena_max=2\ncomm=heap_probe\n"
       "arg=spawn\nGLIBC_TUNABLES=glibc.malloc.arena_max=2\nKEEP=1\n"},
      {"env -i GLIBC_TUNABLES=", "spawn",
       "glibc.malloc.hugetlb=1\ntunables=\ncomm=heap_probe\narg=spawn\nGLIBC_TUNABLES=\n"},
      {"env -i", "one 'two words' ''",
       "glibc.malloc.hugetlb=1\ntunables=(unset)\ncomm=heap_probe\narg=one\narg=two words\narg=\n"},
  };
  for (const TProbeCase& c : cases)
    EXPECT_EQ(Probe(c.environment, c.arguments), std::string("start\nstart\nstarted with=") + c.expected)
        << c.environment;
}

TEST(HugePageHeap, AHugePageSettingAlreadyGivenIsLeftAlone) {
  const TProbeCase cases[] = {
      {"env -i GLIBC_TUNABLES=glibc.malloc.hugetlb=0", "spawn",
       "glibc.malloc.hugetlb=0\ntunables=glibc.malloc.hugetlb=0\ncomm=heap_probe\narg=spawn\n"
       "GLIBC_TUNABLES=glibc.malloc.hugetlb=0\n"},
      {"env -i GLIBC_TUNABLES=glibc.malloc.arena_max=1:glibc.malloc.hugetlb=2", "x",
       "glibc.malloc.arena_max=1:glibc.malloc.hugetlb=2\ntunables=glibc.malloc.arena_max=1:"
       "glibc.malloc.hugetlb=2\ncomm=heap_probe\narg=x\n"},
  };
  for (const TProbeCase& c : cases)
    EXPECT_EQ(Probe(c.environment, c.arguments), std::string("start\nstarted with=") + c.expected)
        << c.environment;
}

}  // namespace
