#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <limits>

#include "resmon/memory_status.h"
#include "resmon/resource_stats.h"
#include "resmon/stat_number.h"

namespace tambrel {
namespace {

TEST(StatNumber, SignAndGroups) {
  const std::vector<std::tuple<bool, uint64_t, std::string>> cases = {
      {false, 0, "+0"},
      {true, 0, "+0"},
      {false, 999, "+999"},
      {false, 1000, "+1.000"},
      {true, 5000, "-5.000"},
      {false, 1000000, "+1.000.000"},
      {false, 1000100, "+1.000.100"},
      {true, uint64_t{1} << 63, "-9.223.372.036.854.775.808"},
      {false, std::numeric_limits<uint64_t>::max(), "+18.446.744.073.709.551.615"}};
  for (const auto& [negative, magnitude, text] : cases)
    EXPECT_EQ(FormatStatNumber(negative, magnitude), text);
  EXPECT_EQ(FormatStatDifference(0, std::numeric_limits<uint64_t>::max()), "-18.446.744.073.709.551.615");
  EXPECT_EQ(FormatStatDifference(std::numeric_limits<uint64_t>::max(), 0), "+18.446.744.073.709.551.615");
}

TMemoryStatus Reading(uint64_t availPhys, uint64_t availPage = 1000, uint64_t availVirtual = 2000) {
  return {50, 8'000'000'000, availPhys, 4000, availPage, 140'000'000'000'000, availVirtual};
}

std::vector<std::string> Texts(const TResourceStats& stats, std::initializer_list<TStatLabel> labels) {
  std::vector<std::string> texts;
  for (const TStatLabel label : labels) texts.push_back(stats.Text(label));
  return texts;
}

using L = TStatLabel;
// The changes since the last reading, then what was lost since the baseline.
const auto kMoves = {L::AvailPhysChange, L::AvailPageFileChange, L::AvailVirtualChange,
                     L::LostPhys,        L::LostPageFile,        L::LostVirtual};
using Strings = std::vector<std::string>;

TEST(ResourceStats, TicksBaselineChangesAndLoss) {
  TResourceStats stats;
  EXPECT_EQ(Texts(stats, {L::MemoryLoad, L::AvailPhys, L::AvailVirtualChange, L::LostVirtual}),
            Strings(4, "+0"));
  stats.Tick(Reading(6'000'000'000));  // above 2^32
  EXPECT_EQ(Texts(stats, {L::MemoryLoad, L::TotalPhys, L::AvailPhys, L::TotalVirtual}),
            Strings({"+50", "+8.000.000.000", "+6.000.000.000", "+140.000.000.000.000"}));
  EXPECT_EQ(Texts(stats, kMoves), Strings({"-", "-", "-", "+0", "+0", "+0"}));

  stats.Tick(Reading(5'999'995'000, 1000, 2500));
  EXPECT_EQ(Texts(stats, kMoves), Strings({"-5.000", "-", "+500", "+5.000", "+0", "-500"}));

  stats.Tick(Reading(6'000'001'000, 1000, 2500));  // freed beyond the baseline; virtual unchanged
  EXPECT_EQ(Texts(stats, kMoves), Strings({"+6.000", "-", "+500", "-1.000", "+0", "-500"}));

  for (const std::optional<TMemoryStatus>& invalid :
       {std::optional<TMemoryStatus>(), std::optional(TMemoryStatus{})}) {
    stats.Tick(invalid);
    EXPECT_EQ(Texts(stats, {L::AvailPhys, L::LostPhys, L::LostPageFile, L::LostVirtual}),
              Strings({"+6.000.001.000", "-1.000", "+0", "-500"}));
  }

  stats.Reset();
  stats.Tick(Reading(1));
  EXPECT_EQ(Texts(stats, kMoves), Strings({"-", "-", "-", "+0", "+0", "+0"}));
  stats.Tick(Reading(0));
  EXPECT_EQ(Texts(stats, {L::AvailPhysChange, L::LostPhys}), Strings({"-1", "+1"}));
}

TEST(MemoryStatus, Parsers) {
  const char* memInfo =
      "MemTotal:       24576000 kB\nMemFree:          100000 kB\nMemAvailable:   20000000 kB\n"
      "Buffers:            2000 kB\nCached:            30000 kB\nSwapTotal:       1048576 kB\nSwapFree:      "
      "   524288 kB\n";
  const auto fields = [](const std::optional<TMemInfo>& m) {
    return m ? std::vector<uint64_t>{m->TotalPhys, m->AvailPhys, m->TotalSwap, m->FreeSwap}
             : std::vector<uint64_t>{};
  };
  EXPECT_EQ(fields(ParseMemInfo(memInfo)), (std::vector<uint64_t>{24576000ull * 1024, 20000000ull * 1024,
                                                                  1048576ull * 1024, 524288ull * 1024}));
  EXPECT_EQ(fields(ParseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 300 kB\n")),
            (std::vector<uint64_t>{1000 * 1024, 420 * 1024, 0, 0}));

  for (const char* bad :
       {"", "MemTotal: 0 kB\nMemAvailable: 0 kB\n", "MemTotal: lots kB\nMemAvailable: 1 kB\n",
        "MemTotal: 100 kB\nMemFree: 1 kB\n", "MemTotal: 99999999999999999999 kB\nMemAvailable: 1 kB\n"})
    EXPECT_FALSE(ParseMemInfo(bad)) << bad;
  EXPECT_EQ(ParseVmSize("Name:\ttest\nVmPeak:\t  9000 kB\nVmSize:\t   8192 kB\n"), 8192u * 1024);
  EXPECT_FALSE(ParseVmSize("Name:\ttest\n"));
}

TEST(MemoryStatus, CombinedFigures) {
  const auto fields = [](const TMemoryStatus& m) {
    return std::vector<uint64_t>{m.MemoryLoad,    m.TotalPhys,    m.AvailPhys,   m.TotalPageFile,
                                 m.AvailPageFile, m.TotalVirtual, m.AvailVirtual};
  };
  EXPECT_EQ(fields(CombineMemoryStatus({1000, 250, 10, 5}, 300, 4000)),
            (std::vector<uint64_t>{75, 1000, 250, 10, 5, 4000, 3700}));
  EXPECT_EQ(fields(CombineMemoryStatus({1000, 1500, 0, 0}, 5000, 4000)),
            (std::vector<uint64_t>{0, 1000, 1500, 0, 0, 4000, 0}));
  EXPECT_EQ(CombineMemoryStatus({UINT64_MAX, 0, 0, 0}, 0, 1).MemoryLoad, 100u);
}

TEST(MemoryStatus, RealProcSeesAMapping) {
  const auto before = ReadMemoryStatus();
  ASSERT_TRUE(before);
  EXPECT_GT(before->TotalPhys, before->AvailPhys);
  EXPECT_GT(before->TotalVirtual, uint64_t{1} << 32);
  constexpr size_t kSize = size_t{64} << 20;
  void* mapping = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  const auto during = ReadMemoryStatus();
  ::munmap(mapping, kSize);
  ASSERT_TRUE(during);
  EXPECT_GE(before->AvailVirtual - during->AvailVirtual, kSize);
}

}  // namespace
}  // namespace tambrel
