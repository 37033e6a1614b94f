// The example Tambrels, end to end: each one parses and compiles without a message into a player that
// lists exactly the items its "Plays" header promises.

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
#include "player/player.h"
#include "script/parse/parser.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

const fs::path Source = TAMBREL_SOURCE_DIR;

// The item lines of the header comment after "// Plays": "//   ", the time, two spaces, the item as
// the listing prints it, then two spaces and a description or nothing.
std::vector<std::string> PlaysHeader(const fs::path& path) {
  std::ifstream file(path);
  std::vector<std::string> items;
  bool inHeader = false;
  for (std::string line; std::getline(file, line);) {
    const bool isItem = inHeader && line.starts_with("//   ") && line.size() > 5 &&
                        std::isdigit(static_cast<unsigned char>(line[5]));
    if (isItem)
      items.push_back(line.substr(5, line.find("  ", 19) - 5));
    else if (!items.empty())
      break;
    inHeader = inHeader || line.starts_with("// Plays");
  }
  return items;
}

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Source / "examples"))
    if (entry.path().extension() == ".tmb") names.push_back(entry.path().stem().string());
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

TEST_P(ExampleTambrel, ParsesCompilesAndListsWhatItsHeaderSays) {
  const fs::path path = Source / "examples" / (GetParam() + ".tmb");
  const std::vector<std::string> header = PlaysHeader(path);
  ASSERT_FALSE(header.empty()) << "no \"Plays\" list in " << path;
  EXPECT_EQ(header.back().substr(14), "End marker") << "the list ends with the end marker";

  testing::TParseRun run = testing::ParsePath(path.string());
  ASSERT_TRUE(run.Ok()) << run.Thrown << ::testing::PrintToString(run.Messages);
  EXPECT_TRUE(run.Messages.empty()) << ::testing::PrintToString(run.Messages);

  TPlayer player;
  std::unique_ptr<TTambrel> root = std::move(run.Root);
  std::vector<std::string> compileErrors;
  root->OnError = [&](TDefinition*, const std::string& text) { compileErrors.push_back(text); };
  ASSERT_EQ(root->Compile(&player, ""), 0) << ::testing::PrintToString(compileErrors);
  EXPECT_TRUE(compileErrors.empty()) << ::testing::PrintToString(compileErrors);

  // The listing is the player's: every compiled item, in time order. How the player delivers a batch
  // is its own tests' business.
  EXPECT_EQ(player.ItemCount(), root->Batch->Count());
  std::vector<std::string> listed;
  for (int32_t i = 0; i < player.Batch().Count(); ++i) listed.push_back(player.Batch().Items(i)->Dump());
  EXPECT_EQ(listed, header);
  root.reset();  // withdraws its items from the player
  EXPECT_EQ(player.ItemCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleTambrel, ::testing::ValuesIn(ExampleNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

}  // namespace
}  // namespace tambrel
