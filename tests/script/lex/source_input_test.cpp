// The source input: positions, the syntax error report, the message list and the trace names.
// Include files are tested through the parser, which opens them.

#include "script/lex/source_input.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "compiler/definition.h"
#include "lex_test_support.h"
#include "script/lex/scanner.h"
#include "script/lex/tokens.h"

namespace tambrel {
namespace {

using testing::Codes;
using testing::ScanText;
using testing::TScanned;
using Lines = std::vector<std::string>;

class LexSourceInput : public testing::TLexTest {
 protected:
  // Scans up to and including the first identifier spelled name; false when there is none.
  static bool ScanUpTo(const std::string& name) {
    for (;;) {
      const int32_t code = yylex();
      if (code == tok::END) return false;
      if (code == tok::IDENTIFIER) {
        const std::unique_ptr<TId> id(TokenValue.Id);
        if (id->Name == name) return true;
      }
    }
  }
};

TEST_F(LexSourceInput, PositionIsTheLastCharacterOfTheToken) {
  // Line and column after each token, the end of input last.
  using Spots = std::vector<std::pair<int32_t, int32_t>>;
  auto Positions = [](const std::string& text) {
    Spots positions;
    for (const TScanned& token : ScanText(text)) positions.emplace_back(token.Line, token.Column);
    return positions;
  };
  // The end of the main file brings back the idle state: line 0, column 0.
  EXPECT_EQ(Positions("ab  cd\n\n  e;\tfgh"), (Spots{{1, 2}, {1, 6}, {3, 3}, {3, 4}, {3, 8}, {0, 0}}));
  // A carriage return is a space; lines count line feeds.
  EXPECT_EQ(Positions("a;\r\nb;\r\n\r\n  c\r;"),
            (Spots{{1, 1}, {1, 2}, {2, 1}, {2, 2}, {4, 3}, {4, 5}, {0, 0}}));
  // A NUL byte ends the text.
  EXPECT_EQ(Codes(ScanText(std::string("a;\0b;", 5))), (std::vector<int32_t>{tok::IDENTIFIER, ';'}));
}

struct TReportCase {
  std::string Text;
  std::string At;
  Lines Report;
};

TEST_F(LexSourceInput, ErrorReports) {
  std::string xs;
  for (int i = 0; i < 1500; ++i) xs += "x ";
  const std::string middle = xs + "bar " + xs, first = "bar " + xs, last = xs + "bar";
  const std::vector<TReportCase> cases = {
      {"x;\ny;\nfoo bar baz\nz;\n", "bar", {"[3,7] in file \"r.tmb\": \"e\"", "foo bar baz", "      ^"}},
      {"x;\r\ny;\r\nfoo bar baz\r\nz;", "bar", {"[3,7] in file \"r.tmb\": \"e\"", "foo bar baz", "      ^"}},
      {"x;\ry;\rfoo bar baz\rz;\r", "bar", {"[1,13] in file \"r.tmb\": \"e\"", "foo bar baz", "      ^"}},
      {"a\nlast", "a", {"[1,1] in file \"r.tmb\": \"e\"", "a", "^"}},
      {"a\nlast", "last", {"[2,4] in file \"r.tmb\": \"e\"", "last", "   ^"}},
      {"0 x", "", {"[0,0] in file \"\": \"e\"", "", "^"}},
      {std::string("ab cd\0ef\ngh", 11), "cd", {"[1,5] in file \"r.tmb\": \"e\"", "ab cd", "    ^"}},
      // Tabs before the caret are copied, so that it lines up however wide a tab is shown.
      {"\tfoo\t bar\tz", "bar", {"[1,9] in file \"r.tmb\": \"e\"", "\tfoo\t bar\tz", "\t   \t   ^"}},
      // A long line is shown as MaxEchoWidth characters around the caret.
      {middle,
       "bar",
       {"[1,3003] in file \"r.tmb\": \"e\"", middle.substr(2502, 1000), std::string(500, ' ') + "^"}},
      {first, "bar", {"[1,3] in file \"r.tmb\": \"e\"", first.substr(0, 1000), "  ^"}},
      {last, "bar", {"[1,3003] in file \"r.tmb\": \"e\"", last.substr(2003), std::string(999, ' ') + "^"}}};
  for (const TReportCase& c : cases) {
    OpenSource(Dir.Write("r.tmb", c.Text));
    ResetInput();
    EXPECT_EQ(ScanUpTo(c.At.empty() ? "\x01" : c.At), !c.At.empty());
    ReportError("e");
    EXPECT_EQ(Messages(), c.Report) << c.Text.substr(0, 40);
    EXPECT_EQ(ErrorCount(), 1);
    RestoreIdleInput();
  }
}

// A report names the file without its directory and cuts a long message. After the end of input the
// scanner returns the end again and again.
TEST_F(LexSourceInput, ResetInputStartsTheCurrentFileAgainToItsEnd) {
  OpenSource(Dir.Write("again.tmb", "first;"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("first"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("first"));
  EXPECT_EQ(SourceName(), Dir.Path() + "/again.tmb");
  ReportError(std::string(300, 'm'));
  EXPECT_EQ(Messages()[0], "[1,5] in file \"again.tmb\": \"" + std::string(255, 'm') + "\"");
  EXPECT_EQ(yylex(), ';');
  for (int i = 0; i < 3; ++i) EXPECT_EQ(yylex(), tok::END);
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, MessageLinesAndTraceText) {
  for (const char c : {'a', '\0', 'b', '\n', 'c'}) WriteChar(c);
  WriteLine("hidden");  // trace off
  WriteFormatted("hidden %d", 1);
  EXPECT_EQ(Messages(), (Lines{"ab", "c"}));
  SetTraceOn(true);
  WriteLine("t1");
  WriteFormatted("state %d, char %d, '%s'", 3, 59, CharDisplayName(59).c_str());
  EXPECT_EQ(Messages(), (Lines{"ab", "ct1", "state 3, char 59, ';'", ""}));
}

TEST_F(LexSourceInput, CharacterDisplayNames) {
  const std::vector<std::pair<int32_t, std::string>> names = {
      {0, "^@ NUL"},   {9, "^I HT "},  {10, "^J LF "}, {13, "^M CR "},  {27, "^[ ESC"},
      {31, "^_ US "},  {32, "-- SP "}, {33, "!"},      {';', ";"},      {126, "~"},
      {127, "-- DEL"}, {128, "\x80"},  {255, "\xFF"},  {256, "------"}, {tok::IDENTIFIER, "------"},
      {-1, "------"}};
  for (const auto& [code, name] : names) EXPECT_EQ(CharDisplayName(code), name) << code;
  for (int32_t code = 0; code < 32; ++code) EXPECT_EQ(CharDisplayName(code).size(), 6u) << code;
}

}  // namespace
}  // namespace tambrel
