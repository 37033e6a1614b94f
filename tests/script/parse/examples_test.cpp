// The example Tambrels, end to end: each one parses and compiles without a message, its player lists
// exactly the items its "Plays" header promises, and played on the simulated clock it delivers them at
// their times.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
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

const fs::path Source = TAMBREL_SOURCE_DIR;

// The item of a header line as the listing prints it: after "//" and spaces, the time, two spaces and
// "End marker" or a five-digit device and its bytes in upper-case hex; then two spaces and a
// description, or nothing. Empty for any other line.
std::string HeaderItem(const std::string& line) {
  const std::size_t at = line.rfind("// ", 0) == 0 ? line.find_first_not_of(' ', 2) : std::string::npos;
  std::size_t end = at;
  auto is = [&](const char* shape) {  // '9' a digit, 'F' an upper-case hex digit, else that character
    for (; *shape != '\0'; ++shape, ++end) {
      const char c = end < line.size() ? line[end] : '\0';
      const bool hex =
          std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(static_cast<unsigned char>(c));
      if (*shape == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : *shape == 'F' ? !hex : c != *shape) {
        return false;
      }
    }
    return true;
  };
  if (at == std::string::npos || !is("99999:99.999  ")) return {};
  const std::size_t data = end;
  if (!is("End marker")) {
    end = data;
    if (!is("99999")) return {};
    std::size_t bytes = end;
    while (is(" FF")) bytes = end;
    end = bytes;
  }
  if (end < line.size() && line.compare(end, 2, "  ") != 0) return {};
  return line.substr(at, end - at);
}

// The item lines of the header comment after "// Plays".
std::vector<std::string> PlaysHeader(const fs::path& path) {
  std::ifstream file(path);
  std::vector<std::string> items;
  bool inHeader = false;
  for (std::string line; std::getline(file, line);) {
    const std::string item = inHeader ? HeaderItem(line) : std::string();
    if (!inHeader) {
      inHeader = line.rfind("// Plays", 0) == 0;
    } else if (!item.empty()) {
      items.push_back(item);
    } else if (!items.empty()) {
      break;
    }
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

// The deliveries of a time-ordered batch: consecutive data items of one time and device together, the
// first at the start, each next one due the difference of the times (counted from position 0) after
// the one before was due, and delivered then or the timer's shortest period after the one before,
// whichever is later.
std::vector<TDelivery> ExpectedDeliveries(const TTimedBatch& batch) {
  std::vector<TDelivery> out;
  uint32_t position = 0;
  int64_t due = 0;
  int64_t at = 0;
  for (int32_t i = 0; i < batch.Count(); ++i) {
    const TTimed* item = batch.Items(i);
    const auto* data = dynamic_cast<const TTimedData*>(item);
    const bool isEnd = dynamic_cast<const TEndMarker*>(item) != nullptr;
    if (!data && !isEnd) continue;
    const int32_t device = data ? data->Device : EndMarkerDevice;
    const std::vector<uint8_t> bytes =
        data ? std::vector<uint8_t>(data->Data(), data->Data() + data->Count()) : std::vector<uint8_t>();
    if (!out.empty() && data && out.back().Device == device && out.back().Time == item->Time) {
      out.back().Bytes.insert(out.back().Bytes.end(), bytes.begin(), bytes.end());
      continue;
    }
    if (!out.empty()) {
      due += static_cast<int64_t>(item->Time >= position ? item->Time - position : 0) * Ms;
      at = std::max(due, at + Ms);
      position = item->Time;
    }
    out.push_back({at, item->Time, device, bytes});
  }
  return out;
}

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Source / "examples")) {
    if (entry.path().extension() == ".tmb") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ExampleTambrel : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    SavedIncludes = IncludeDirectory();
    SetIncludeDirectory((Source / "data" / "Include").string() + "/");
  }
  void TearDown() override {
    ClearParseResult();
    SetIncludeDirectory(SavedIncludes);
  }
  std::string SavedIncludes;
};

TEST_P(ExampleTambrel, ParsesCompilesListsAndPlaysWhatItsHeaderSays) {
  const fs::path path = Source / "examples" / (GetParam() + ".tmb");
  const std::vector<std::string> header = PlaysHeader(path);
  ASSERT_FALSE(header.empty()) << "no \"Plays\" list in " << path;
  EXPECT_EQ(header.back().substr(14), "End marker") << "the list ends with the end marker";

  testing::TParseRun run = testing::ParsePath(path.string());
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

  // The listing is the player's: every compiled item, in time order.
  EXPECT_EQ(player.ItemCount(), root->Batch->Count());
  std::vector<std::string> listed;
  for (int32_t i = 0; i < player.Batch().Count(); ++i) listed.push_back(player.Batch().Items(i)->Dump());
  EXPECT_EQ(listed, header);

  // Started as the window starts a loaded Tambrel: reset, then enabled.
  const std::vector<TDelivery> expected = ExpectedDeliveries(player.Batch());
  player.Restart();
  player.SetEnabled(true);
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

}  // namespace
}  // namespace tambrel
