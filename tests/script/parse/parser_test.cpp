// The parser over real files: which forms it accepts and the trees it builds, error recovery and
// counts, the trace, positions and include files.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "lex_test_support.h"
#include "parse_test_support.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"

namespace tambrel::testing {
namespace {

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { SetIncludeDirectory(Dir.Path() + "/"); }
  void TearDown() override {
    // Every parse, however it ended, leaves the input idle.
    EXPECT_EQ(FileStackDepth(), 0u);
    EXPECT_EQ(SourceName(), "");
  }
  TParseRun Parse(const std::string& text, bool trace = false) {
    return ParsePath(Dir.Write("main.tmb", text), trace);
  }
  TTempFolder Dir;
};

// The top-level statements' class and name, in list order.
std::vector<std::string> Titles(const TParseRun& run) {
  std::vector<std::string> titles;
  std::istringstream dump(run.Dump());
  for (std::string line; std::getline(dump, line);) {
    if (line[0] != '|') titles.push_back(line);
  }
  return titles;
}

TEST_F(ParserTest, StatementFormsBuildTheirNodes) {
  EXPECT_EQ(Parse("f; ;").Dump(), "TProcDef( f)\n");
  EXPECT_EQ(Parse("0 f;").Dump(), "TAction( f)\n| Time =\n| | TConstExpr\n| | | constant = 0\n");
  EXPECT_EQ(Parse("const c == 5;").Dump(), "TConstDef( c)\n| Right =\n| | TConstExpr\n| | | constant = 5\n");
  EXPECT_EQ(Parse("loop(i, 1, 4, 2); ;").Dump(),
            "TLoopDef( <loop>)\n| LoopVar =\n| | TId( i)\n| StartExpr =\n| | TConstExpr\n| | | constant = 1\n"
            "| EndExpr =\n| | TConstExpr\n| | | constant = 4\n| IncrOption =\n| | TConstExpr\n"
            "| | | constant = 2\n");
  // A statement after "f;" that begins with "(" is f's body.
  EXPECT_EQ(Titles(Parse("f;\n(0 g;\n1 h;);\n2 f;")),
            (std::vector<std::string>{"TProcDef( f)", "TAction( f)"}));
}

// Precedence and grouping, seen in the folded value of "const r = <expression>;".
TEST_F(ParserTest, PrecedenceAndGrouping) {
  const std::vector<std::pair<const char*, int32_t>> cases = {
      {"-1 + 2", 1},         // a leading sign applies to the first term only
      {"1 + 2 * 3", 7},      // multiplying before adding
      {"{1 + 2} * 3", 9},    // braces are parentheses
      {"10 - 3 - 2", 5},     // left to right
      {"8 div 2 div 2", 2},  //
      {"2 * 3 mod 4", 2},    //
      {"5 - 1 xor 2", 6},    // xor is an adding operator
      {"not 0 and 2", 2},    // not applies to one factor
      {"1 + 2 = 3", 1},      // a comparison binds loosest
      {"(1 < 2) and (3 >= 3)", 1}};
  for (const auto& [expression, value] : cases) {
    TParseRun run = Parse(std::string("const r = ") + expression + ";");
    ASSERT_TRUE(run.Ok()) << expression;
    ASSERT_EQ(run.Root->Compile(nullptr, ""), 0) << expression;
    EXPECT_EQ(run.Root->Definitions->Value, value) << expression;
  }
}

// Each bad statement is one syntax error: the rejected forms, then two bad statements apart, two in a
// row, an error right after the recovery, an empty file, the final ";" missing, the end of input while
// skipping.
TEST_F(ParserTest, EachBadStatementIsOneSyntaxError) {
  struct TCase {
    const char* Text;
    int Result;
    int32_t Errors;
  };
  // clang-format off
  for (const TCase& c : std::vector<TCase>{
           {"0 f();", 0, 1}, {"const c := 5;", 0, 1}, {"a < b < c f;", 0, 1}, {"a + -b f;", 0, 1},
           {"a * -b f;", 0, 1}, {"f; 0 g;", 0, 1}, {"f; ();", 1, 1}, {"0 # f;", 0, 1}, {"[ f;", 0, 1},
           {"99999999999 f;", 0, 1}, {"2147484.0 f;", 0, 1}, {"0 f(1,);", 0, 1}, {"loop(i, 1); ;", 0, 1},
           {"include 5;", 0, 1}, {"const = 3;", 0, 1},
           {"0 f;\n# g;\n0 h;\n1 2;\n", 0, 2}, {"0 f; 1 +; 2 g; 3 *; 4 h;", 0, 2}, {"1 2; 3 4;\n0 f;", 0, 1},
           {"1 ;; 0 f;", 0, 1}, {"", 1, 1}, {"0 f", 1, 1}, {"0 f; 1 2", 1, 1}}) {
    // clang-format on
    const TParseRun run = Parse(c.Text);
    EXPECT_EQ(std::pair(run.Result, run.Errors), std::pair(c.Result, c.Errors)) << c.Text;
    ASSERT_GE(run.Messages.size(), 3u) << c.Text;
    EXPECT_NE(run.Messages[0].find("\"syntax error\""), std::string::npos) << c.Text;
  }
  // An error found after the end of the main file shows the idle state.
  EXPECT_EQ(Parse("0 f;\n0 g").Messages,
            (std::vector<std::string>{"[0,0] in file \"\": \"syntax error\"", "", "^"}));
  // The statements after a skipped one are parsed and linked when the list began well.
  EXPECT_EQ(Titles(Parse("0 f;\n# g;\n0 h;\n1 2;\n")),
            (std::vector<std::string>{"TAction( f)", "TAction( h)"}));
}

// Parentheses beyond the parser's stacks and expressions beyond the depth limit end the parse; just
// within both a script parses, and at the depth limit resolves and folds like any other.
TEST_F(ParserTest, NestingBeyondTheStacksOrTheDepthLimitEndsTheParse) {
  std::string sum;
  for (int i = 0; i < MaxExpressionDepth; ++i) sum += "1+";
  const std::string parens =
      std::string(ParserStackSize + 10, '(') + "1" + std::string(ParserStackSize + 10, ')');
  // The depth is found at the reduction of the last "+", once the ";" after it has been read.
  const std::tuple<std::string, int, std::string> cases[] = {
      {parens + " f;", 1, "\"yyparse stack overflow\""},
      {"const x = " + sum + "1+1;\n0 f;\n", -1,
       "[1," + std::to_string(10 + 2 * MaxExpressionDepth + 4) +
           "] in file \"main.tmb\": \"expression nested deeper than 4000 levels\""}};
  for (const auto& [text, result, message] : cases) {
    const TParseRun run = Parse(text);
    EXPECT_EQ(std::tuple(run.Result, run.Errors, run.Root == nullptr), std::tuple(result, 1, true));
    ASSERT_FALSE(run.Messages.empty());
    EXPECT_NE(run.Messages[0].find(message), std::string::npos) << run.Messages[0];
  }
  EXPECT_TRUE(Parse(std::string(2000, '(') + "1" + std::string(2000, ')') + " f;").Ok());
  TParseRun atLimit = Parse("const x = " + sum + "1;\n0 out(1, 2, x);\n");
  ASSERT_TRUE(atLimit.Ok());
  EXPECT_EQ(atLimit.Root->Compile(nullptr, ""), 0);
  EXPECT_EQ(atLimit.Root->Definitions->Value, MaxExpressionDepth + 1);
}

TEST_F(ParserTest, FatalErrorInAnIncludeLeavesTheInputIdle) {
  // A fatal error inside an include file; the next parse must not read the rest of that file.
  Dir.Write("long.tmb", "0 x;\n0 " + std::string(300, 'q') + ";\n7 rest;\n");
  const TParseRun fatal = Parse("include long;\n0 f;\n");
  EXPECT_EQ(fatal.Thrown, "FATAL ERROR : 'yytext overflow'");
  EXPECT_EQ(fatal.Errors, 1);
  EXPECT_EQ(FileStackDepth(), 0u);
  const TParseRun next = Parse("0 g;\n");
  EXPECT_TRUE(next.Ok());
  EXPECT_EQ(Titles(next), std::vector<std::string>{"TAction( g)"});
}

// The trace's own lines are checked through the tool; here its recovery steps.
TEST_F(ParserTest, TraceOfRecoveryGoesOnInTheCaretLine) {
  const TParseRun recovery = Parse("1 2;\n0 f;", true);
  EXPECT_EQ(recovery.Errors, 1);
  ASSERT_GE(recovery.Messages.size(), 14u);
  EXPECT_EQ(recovery.Messages[13], "  ^error recovery pops state 22, uncovers 1");
  EXPECT_NE(std::find(recovery.Messages.begin(), recovery.Messages.end(),
                      "error recovery discards char 257 (------)"),
            recovery.Messages.end());
}

TEST_F(ParserTest, IncludedStatementsFollowTheIncludeInPlace) {
  Dir.Write("a.tmb", "1 x;\ninclude b;\n2 y;\n");
  Dir.Write("b.tmb", "5 w;\n");
  const TParseRun run = Parse("include a;\n  9 z(1);\n");
  ASSERT_TRUE(run.Ok());
  EXPECT_EQ(Titles(run), (std::vector<std::string>{"TInclude( " + Dir.Path() + "/a.tmb)", "TAction( x)",
                                                   "TInclude( " + Dir.Path() + "/b.tmb)", "TAction( w)",
                                                   "TAction( y)", "TAction( z)"}));
  std::vector<std::string> files;
  const TDefinition* z = nullptr;
  for (const TDefinition* d = run.Root->Definitions.get(); files.size() < 6; d = d->Next) {
    files.push_back(d->FileName);
    z = d;
  }
  const TDefinition* x = run.Root->Definitions->Next;
  EXPECT_EQ(files, (std::vector<std::string>{"main.tmb", "a.tmb", "a.tmb", "b.tmb", "a.tmb", "main.tmb"}));
  // Back in the main file, positions go on after the include statement. A node carries the position of
  // its reduction: right after the ")" of an argument list, else once ";" shows that none follows.
  EXPECT_EQ(std::tuple(x->Line, x->Column, z->Line, z->Column), std::tuple(1, 4, 2, 8));

  // The last statements from an include file: the root still names the main file.
  const TParseRun last = Parse("0 f;\ninclude b;");
  ASSERT_TRUE(last.Ok());
  EXPECT_EQ(std::tuple(last.Root->Name, last.Root->FileName), std::tuple("main.tmb", "main.tmb"));

  // Inside a body, the include's statements belong to the body.
  const TParseRun body = Parse("p; (include b;);\n0 p;");
  EXPECT_TRUE(body.Dump().starts_with("TProcDef( p)\n| Definitions =\n| | TInclude( " + Dir.Path() +
                                      "/b.tmb)\n| | TAction( w)\n"))
      << body.Dump();
}

// Include files that are missing, not regular files, end early or would loop: the include node stays
// in place and the statement after it is parsed.
TEST_F(ParserTest, IncludesThatAreNotReadWhole) {
  for (int i = 0; i < MaxIncludeDepth + 5; ++i)
    Dir.Write("n" + std::to_string(i) + ".tmb", "include n" + std::to_string(i + 1) + ";\n");
  Dir.Write("nul.tmb", std::string("1 x;\n") + '\0' + "garbage ;; (");
  Dir.Write("empty.tmb", "");
  Dir.Write("self.tmb", "include self;\n1 x;\n");
  Dir.Write("ping.tmb", "1 p; include pong; 1 q;");
  Dir.Write("pong.tmb", "1 r; include ping; 1 s;");
  ASSERT_EQ(::mkdir((Dir.Path() + "/folder.tmb").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo((Dir.Path() + "/pipe.tmb").c_str(), 0600), 0);
  struct TCase {
    const char* Name;
    int32_t Statements;  // top-level statements parsed, the include and 0 f included
    const char* Report;  // in the first message line; none when the parse is clean
  };
  // clang-format off
  for (const TCase& c : std::vector<TCase>{
           {"nothere", 2, nullptr}, {"folder", 2, nullptr}, {"pipe", 2, nullptr}, {"empty", 2, nullptr},
           {"nul", 3, nullptr},
           {"self", 4, "[1,13] in file \"self.tmb\": \"include file self.tmb not opened: it is being read already "
                       "(include loop)\""},
           {"ping", 8, "[1,18] in file \"pong.tmb\": \"include file ping.tmb not opened: it is being read already "
                       "(include loop)\""},
           {"n0", MaxIncludeDepth + 2, "[1,12] in file \"n31.tmb\": \"include file n32.tmb not opened: includes "
                                       "nested deeper than 32 levels\""}}) {
    // clang-format on
    const TParseRun run = Parse(std::string("include ") + c.Name + ";\n0 f;\n");
    const std::vector<std::string> titles = Titles(run);
    EXPECT_EQ(static_cast<int32_t>(titles.size()), c.Statements) << c.Name;
    EXPECT_EQ(titles.front(), "TInclude( " + Dir.Path() + "/" + c.Name + ".tmb)");
    EXPECT_EQ(titles.back(), "TAction( f)") << c.Name;
    EXPECT_EQ(run.Errors, c.Report ? 1 : 0) << c.Name;
    EXPECT_EQ(run.Messages.empty() ? "" : run.Messages[0], c.Report ? c.Report : "") << c.Name;
  }
}

}  // namespace
}  // namespace tambrel::testing
