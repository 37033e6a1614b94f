#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Runs the probe through the shell with the given environment prefix and returns what it printed.
std::string Probe(const std::string& environment, const std::string& arguments = "") {
  const std::string command = environment + " " + TAMBREL_HEAP_PROBE + " " + arguments;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "(no shell)";
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  EXPECT_EQ(::pclose(pipe), 0) << command;
  return out;
}

bool HugePagesOnThisKernel() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text;
  std::getline(mode, text);
  return text.find("[never]") == std::string::npos && !text.empty();
}

TEST(HugePageHeap, RestartsOnceWithTheTunableAndTheSameArguments) {
  if (!HugePagesOnThisKernel()) {
    EXPECT_EQ(Probe("env -u GLIBC_TUNABLES", "a"), "start\ntunables=(unset)\narg=a\n");
    GTEST_SKIP() << "no transparent huge pages here: only the no-restart case was checked";
  }
  EXPECT_EQ(Probe("env -u GLIBC_TUNABLES", "one 'two words' ''"),
            "start\nstart\ntunables=glibc.malloc.hugetlb=1\narg=one\narg=two words\narg=\n");
  // Other tunables are kept in front.
  EXPECT_EQ(Probe("env GLIBC_TUNABLES=glibc.malloc.arena_max=2"),
            "start\nstart\ntunables=glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1\n");
}

TEST(HugePageHeap, AHugePageSettingAlreadyGivenIsLeftAlone) {
  EXPECT_EQ(Probe("env GLIBC_TUNABLES=glibc.malloc.hugetlb=0"), "start\ntunables=glibc.malloc.hugetlb=0\n");
  EXPECT_EQ(Probe("env GLIBC_TUNABLES=glibc.malloc.arena_max=1:glibc.malloc.hugetlb=2", "x"),
            "start\ntunables=glibc.malloc.arena_max=1:glibc.malloc.hugetlb=2\narg=x\n");
}

}  // namespace
