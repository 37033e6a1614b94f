// The example Tambrels, end to end: each one parses, compiles, lists the items its "Plays" header
// promises and plays them into a recording player on the simulated clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/tambrel.h"
#include "parse_test_support.h"
#include "player/play_clock.h"
#include "player/player.h"
#include "script/parse/parser.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

constexpr int64_t Ms = 1000;  // the simulated clock counts microseconds
constexpr int32_t EndMarkerDevice = -1;

// One line of a "Plays" header: the item as the dump prints it, split into its parts.
struct THeaderItem {
  std::string Time;  // "00000:02.000"
  int32_t Device = EndMarkerDevice;
  std::vector<uint8_t> Bytes;
  std::string DumpLine() const {
    if (Device == EndMarkerDevice) return Time + "  End marker";
    std::ostringstream out;
    out << Time << "  ";
    out.width(5);
    out.fill('0');
    out << Device;
    static const char* const hex = "0123456789ABCDEF";
    for (const uint8_t b : Bytes) out << ' ' << hex[b >> 4] << hex[b & 15];
    return out.str();
  }
};

// "mmmmm:ss.fff" in milliseconds; -1 when the text has another shape.
int64_t ParsePlayTime(const std::string& text) {
  if (text.size() != 12 || text[5] != ':' || text[8] != '.') return -1;
  int64_t minutes = 0, seconds = 0, millis = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == 5 || i == 8) continue;
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    const int digit = text[i] - '0';
    if (i < 5)
      minutes = minutes * 10 + digit;
    else if (i < 8)
      seconds = seconds * 10 + digit;
    else
      millis = millis * 10 + digit;
  }
  return (minutes * 60 + seconds) * 1000 + millis;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one header line after its "//": time, two spaces, then "End marker" or a five-digit device and
// bytes of two upper-case hex digits each, one space apart. Whatever follows two spaces is description.
bool ParseHeaderLine(const std::string& line, THeaderItem& item, std::string& problem) {
  size_t at = line.find_first_not_of(' ', 2);
  if (at == std::string::npos || line.size() < at + 12) return false;
  item.Time = line.substr(at, 12);
  if (ParsePlayTime(item.Time) < 0) return false;
  at += 12;
  if (line.compare(at, 2, "  ") != 0) {
    problem = "no two spaces after the time";
    return true;
  }
  at += 2;
  if (line.compare(at, 10, "End marker") == 0) {
    item.Device = EndMarkerDevice;
    return true;
  }
  if (line.size() < at + 5 ||
      !std::all_of(line.begin() + static_cast<long>(at), line.begin() + static_cast<long>(at + 5),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    problem = "no five-digit device";
    return true;
  }
  item.Device = std::stoi(line.substr(at, 5));
  at += 5;
  while (at + 3 <= line.size() && line[at] == ' ' && HexDigit(line[at + 1]) >= 0 &&
         HexDigit(line[at + 2]) >= 0 && (at + 3 == line.size() || line[at + 3] == ' ')) {
    item.Bytes.push_back(static_cast<uint8_t>(HexDigit(line[at + 1]) * 16 + HexDigit(line[at + 2])));
    at += 3;
  }
  if (at < line.size() && line.compare(at, 2, "  ") != 0) problem = "bytes not followed by two spaces";
  return true;
}

// The item lines of the header comment that follows a "// Plays" line.
std::vector<THeaderItem> ReadPlaysHeader(const fs::path& path, std::vector<std::string>& problems) {
  std::ifstream file(path);
  std::vector<THeaderItem> items;
  std::string line;
  bool inHeader = false;
  while (std::getline(file, line)) {
    if (line.rfind("//", 0) != 0) {
      if (inHeader) break;
      continue;
    }
    if (!inHeader) {
      inHeader = line.rfind("// Plays", 0) == 0;
      continue;
    }
    THeaderItem item;
    std::string problem;
    if (!ParseHeaderLine(line, item, problem)) {
      if (!items.empty()) break;  // the free text after the list
      continue;
    }
    if (!problem.empty()) problems.push_back(line + ": " + problem);
    items.push_back(item);
  }
  return items;
}

// What a recording player saw: when (since the start) and what.
struct TDelivery {
  int64_t AtUs;
  uint32_t Time;
  int32_t Device;
  std::vector<uint8_t> Bytes;
  bool operator==(const TDelivery&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TDelivery& d) {
  out << "{at " << d.AtUs / Ms << "ms, time " << d.Time << ", device " << d.Device << ",";
  for (const uint8_t b : d.Bytes) out << ' ' << static_cast<int>(b);
  return out << "}";
}

// The deliveries the header's items make, as the player hands them over: consecutive data items of one
// time and device together, the first at the start, each next one after the difference of the times
// (counted from position 0), at least the timer's shortest period apart.
std::vector<TDelivery> ExpectedDeliveries(const std::vector<THeaderItem>& items) {
  std::vector<TDelivery> out;
  uint32_t position = 0;
  int64_t at = 0;
  for (const THeaderItem& item : items) {
    const auto time = static_cast<uint32_t>(ParsePlayTime(item.Time));
    if (!out.empty() && item.Device != EndMarkerDevice && out.back().Device == item.Device &&
        out.back().Time == time) {
      out.back().Bytes.insert(out.back().Bytes.end(), item.Bytes.begin(), item.Bytes.end());
      continue;
    }
    if (!out.empty()) {
      at += static_cast<int64_t>(std::max<uint32_t>(time >= position ? time - position : 0, 1)) * Ms;
      position = time;
    }
    out.push_back({at, time, item.Device, item.Bytes});
  }
  return out;
}

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(TAMBREL_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".tmb") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ExampleTambrel : public ::testing::TestWithParam<std::string> {
 protected:
  fs::path Path() const { return fs::path(TAMBREL_SOURCE_DIR) / "examples" / (GetParam() + ".tmb"); }
  std::string savedIncludes;
  void SetUp() override {
    savedIncludes = IncludeDirectory();
    SetIncludeDirectory((fs::path(TAMBREL_SOURCE_DIR) / "data" / "Include").string() + "/");
  }
  void TearDown() override {
    ClearParseResult();
    SetIncludeDirectory(savedIncludes);
  }
};

TEST_P(ExampleTambrel, ParsesCompilesListsAndPlaysWhatItsHeaderSays) {
  std::vector<std::string> problems;
  const std::vector<THeaderItem> header = ReadPlaysHeader(Path(), problems);
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  ASSERT_FALSE(header.empty()) << "no \"Plays\" list in " << Path();
  EXPECT_EQ(header.back().Device, EndMarkerDevice) << "the list ends with the end marker";

  testing::TParseRun run = testing::ParsePath(Path().string());
  ASSERT_TRUE(run.Ok()) << run.Thrown << ::testing::PrintToString(run.Messages);
  EXPECT_TRUE(run.Messages.empty()) << ::testing::PrintToString(run.Messages);

  auto owned = std::make_unique<TSimulatedPlayClock>();
  TSimulatedPlayClock* clock = owned.get();
  const int64_t startUs = clock->NowUs();
  TPlayer player(std::move(owned));
  std::vector<TDelivery> got;
  player.OnData = [&](TPlayer&, const TTimedData& d) {
    got.push_back({clock->NowUs() - startUs, d.Time, d.Device, {d.Data(), d.Data() + d.Count()}});
  };
  player.OnEnd = [&](TPlayer&, const TEndMarker& m) {
    got.push_back({clock->NowUs() - startUs, m.Time, EndMarkerDevice, {}});
  };

  std::unique_ptr<TTambrel> root = std::move(run.Root);
  std::vector<std::string> compileErrors;
  root->OnError = [&](TDefinition*, const std::string& text) { compileErrors.push_back(text); };
  ASSERT_EQ(root->Compile(&player, ""), 0) << ::testing::PrintToString(compileErrors);
  EXPECT_TRUE(compileErrors.empty()) << ::testing::PrintToString(compileErrors);

  // The listing is the player's: every compiled item, in time order (the compile appends them in the
  // order the statements expand).
  EXPECT_EQ(player.ItemCount(), root->Batch->Count());
  std::vector<std::string> listed, promised;
  for (int32_t i = 0; i < player.Batch().Count(); ++i) listed.push_back(player.Batch().Items(i)->Dump());
  for (const THeaderItem& item : header) promised.push_back(item.DumpLine());
  EXPECT_EQ(listed, promised);

  // Started as the window starts a loaded Tambrel: reset, then enabled.
  player.Restart();
  player.SetEnabled(true);
  const std::vector<TDelivery> expected = ExpectedDeliveries(header);
  clock->AdvanceBy(expected.back().AtUs + 1000 * Ms);
  EXPECT_EQ(got, expected);

  player.SetEnabled(false);
  root.reset();  // withdraws its items from the player
  EXPECT_EQ(player.ItemCount(), 0);
  player.OnData = nullptr;
  player.OnEnd = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTambrel, ::testing::ValuesIn(ExampleNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

// The include the examples use, on its own: procedures only, so nothing plays but the end marker.
TEST(ExampleInclude, DrumsParsesAndCompilesToTheEndMarkerAlone) {
  const std::string saved = IncludeDirectory();
  const fs::path includes = fs::path(TAMBREL_SOURCE_DIR) / "data" / "Include";
  SetIncludeDirectory(includes.string() + "/");
  testing::TParseRun run = testing::ParsePath((includes / "drums.tmb").string());
  SetIncludeDirectory(saved);
  ASSERT_TRUE(run.Ok()) << run.Thrown << ::testing::PrintToString(run.Messages);
  std::vector<std::string> errors;
  run.Root->OnError = [&](TDefinition*, const std::string& text) { errors.push_back(text); };
  ASSERT_EQ(run.Root->Compile(nullptr, ""), 0) << ::testing::PrintToString(errors);
  ASSERT_EQ(run.Root->Batch->Count(), 1);
  EXPECT_EQ(run.Root->Batch->Items(0)->Dump(), "00000:00.000  End marker");
}

}  // namespace
}  // namespace tambrel
