// The parser over real files: which forms it accepts and the trees it builds, error recovery and
// counts, the trace, positions and include files.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "compiler/statements.h"
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
  TTempDir Dir;
};

// The top-level statements' class and name, in list order.
std::vector<std::string> Titles(const TParseRun& run) {
  std::vector<std::string> titles;
  std::string dump = run.Dump();
  std::size_t start = 0;
  while (start < dump.size()) {
    const std::size_t end = dump.find('\n', start);
    const std::string line = dump.substr(start, end - start);
    if (!line.empty() && line[0] != '|') titles.push_back(line);
    start = end == std::string::npos ? dump.size() : end + 1;
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
  EXPECT_EQ(Parse("hit(d, n); {0 Out(d, n);};\n1.5 hit(2, 60);").Dump(),
            "TProcDef( hit)\n| Params =\n| | TId( d)\n| | TId( n)\n| Definitions =\n| | TAction( Out)\n"
            "| | | Time =\n| | | | TConstExpr\n| | | | | constant = 0\n| | | Args =\n| | | | TVarExpr\n"
            "| | | | | TId( d)\n| | | | TVarExpr\n| | | | | TId( n)\n"
            "TAction( hit)\n| Time =\n| | TConstExpr\n| | | constant = 1500\n| Args =\n| | TConstExpr\n"
            "| | | constant = 2\n| | TConstExpr\n| | | constant = 60\n");
  // A statement after "f;" that begins with "(" is f's body.
  EXPECT_EQ(Titles(Parse("f;\n(0 g;\n1 h;);\n2 f;")),
            (std::vector<std::string>{"TProcDef( f)", "TAction( f)"}));
  const TParseRun many = Parse("0 a; 1 b; 2 c; 3 d; 4 e;");
  EXPECT_TRUE(many.Ok());
  EXPECT_EQ(Titles(many), (std::vector<std::string>{"TAction( a)", "TAction( b)", "TAction( c)",
                                                    "TAction( d)", "TAction( e)"}));
}

TEST_F(ParserTest, PrecedenceAndGrouping) {
  // A leading sign applies to the whole first term, "not" to one factor; braces are parentheses.
  EXPECT_EQ(Parse("-a * b f;").Dump(),
            "TAction( f)\n| Time =\n| | TUnaryExpr\n| | | UnUp = '-'\n| | | Expr =\n| | | | TBinaryExpr\n"
            "| | | | | BinOp = '*'\n| | | | | Left =\n| | | | | | TVarExpr\n| | | | | | | TId( a)\n"
            "| | | | | Right =\n| | | | | | TVarExpr\n| | | | | | | TId( b)\n");
  EXPECT_EQ(Parse("not a and b f;").Dump(),
            "TAction( f)\n| Time =\n| | TBinaryExpr\n| | | BinOp = '&'\n| | | Left =\n| | | | TUnaryExpr\n"
            "| | | | | UnUp = '!'\n| | | | | Expr =\n| | | | | | TVarExpr\n| | | | | | | TId( a)\n"
            "| | | Right =\n| | | | TVarExpr\n| | | | | TId( b)\n");
  EXPECT_EQ(Parse("{1 + 2} * 3 f;").Dump(),
            "TAction( f)\n| Time =\n| | TBinaryExpr\n| | | BinOp = '*'\n| | | Left =\n| | | | TBinaryExpr\n"
            "| | | | | BinOp = '+'\n| | | | | Left =\n| | | | | | TConstExpr\n| | | | | | | constant = 1\n"
            "| | | | | Right =\n| | | | | | TConstExpr\n| | | | | | | constant = 2\n| | | Right =\n"
            "| | | | TConstExpr\n| | | | | constant = 3\n");
  // Left to right within a level: a - b - c is (a - b) - c.
  const std::string chain = Parse("a - b - c f;").Dump();
  EXPECT_EQ(chain.find("| | | Left =\n| | | | TBinaryExpr\n| | | | | BinOp = '-'"),
            chain.find("| | | Left ="));
  EXPECT_TRUE(Parse("a + (-b) f;").Ok());
  EXPECT_TRUE(Parse("(a < b) and (c >= d) f;").Ok());
}

TEST_F(ParserTest, RejectedFormsGiveOneSyntaxErrorEach) {
  for (const char* text :
       {"0 f();", "const c := 5;", "a < b < c f;", "a + -b f;", "a * -b f;", "f; 0 g;", "f; ();", "0 # f;",
        "[ f;", "99999999999 f;", "2147484.0 f;", "0 f(1,);", "loop(i, 1); ;", "include 5;", "const = 3;"}) {
    const TParseRun run = Parse(text);
    EXPECT_EQ(run.Errors, 1) << text;
    ASSERT_GE(run.Messages.size(), 3u) << text;
    EXPECT_NE(run.Messages[0].find("\"syntax error\""), std::string::npos) << text;
  }
}

TEST_F(ParserTest, RecoveryCountsEachBadStatementOnce) {
  struct TCase {
    const char* Text;
    int Result;
    int32_t Errors;
  };
  for (const TCase& c : std::vector<TCase>{
           {"0 f;\n# g;\n0 h;\n1 2;\n", 0, 2},  // two bad statements apart
           {"0 f; 1 +; 2 g; 3 *; 4 h;", 0, 2},
           {"1 2; 3 4;\n0 f;", 0, 1},  // two in a row
           {"1 ;; 0 f;", 0, 1},        // an error right after the recovery
           {"", 1, 1},                 // an empty file
           {"0 f", 1, 1},              // the final ";" missing
           {"0 f; 1 2", 1, 1},         // end of input while skipping
       }) {
    const TParseRun run = Parse(c.Text);
    EXPECT_EQ(run.Result, c.Result) << c.Text;
    EXPECT_EQ(run.Errors, c.Errors) << c.Text;
    EXPECT_FALSE(run.Ok()) << c.Text;
  }
  // The statements after a skipped one are parsed and linked when the list began well.
  EXPECT_EQ(Titles(Parse("0 f;\n# g;\n0 h;\n1 2;\n")),
            (std::vector<std::string>{"TAction( f)", "TAction( h)"}));
}

TEST_F(ParserTest, ReportsPointAtTheOneSourceLine) {
  const TParseRun run = Parse("0 f;\nconst c := 5;\n0 g;\n");
  ASSERT_EQ(run.Messages.size(), 3u);
  EXPECT_EQ(run.Messages[0], "[2,9] in file \"main.tmb\": \"syntax error\"");
  EXPECT_EQ(run.Messages[1], "const c := 5;");
  EXPECT_EQ(run.Messages[2], "        ^");
  // Found after the main file has ended: the idle state is what the report shows.
  const TParseRun atEnd = Parse("0 f;\n0 g");
  EXPECT_EQ(atEnd.Messages, (std::vector<std::string>{"[0,0] in file \"\": \"syntax error\"", "", "^"}));
}

TEST_F(ParserTest, StackOverflowIsReportedAndAborts) {
  const std::string deep =
      std::string(ParserStackSize + 10, '(') + "1" + std::string(ParserStackSize + 10, ')') + " f;";
  const TParseRun run = Parse(deep);
  EXPECT_EQ(run.Result, 1);
  EXPECT_EQ(run.Errors, 1);
  ASSERT_FALSE(run.Messages.empty());
  EXPECT_NE(run.Messages[0].find("\"yyparse stack overflow\""), std::string::npos);
  EXPECT_EQ(run.Root, nullptr);
  // Just within the stacks it parses.
  const std::string nested = std::string(2000, '(') + "1" + std::string(2000, ')') + " f;";
  EXPECT_TRUE(Parse(nested).Ok());
}

TEST_F(ParserTest, ExpressionsDeeperThanTheLimitEndTheParse) {
  std::string sum;
  for (int i = 0; i < MaxExpressionDepth; ++i) sum += "1+";
  // At the limit: parsed, resolved and folded like any other expression.
  TParseRun atLimit = Parse("const x = " + sum + "1;\n0 out(1, 2, x);\n");
  ASSERT_TRUE(atLimit.Ok());
  EXPECT_EQ(atLimit.Root->Compile(nullptr, ""), 0);
  EXPECT_EQ(atLimit.Root->Definitions->Value, MaxExpressionDepth + 1);
  atLimit.Root.reset();

  const TParseRun deeper = Parse("const x = " + sum + "1+1;\n0 f;\n");
  EXPECT_EQ(deeper.Result, -1);
  EXPECT_EQ(deeper.Errors, 1);
  ASSERT_FALSE(deeper.Messages.empty());
  // Found at the reduction of the last "+", once the ";" after it has been read.
  EXPECT_EQ(deeper.Messages[0], "[1," + std::to_string(10 + 2 * MaxExpressionDepth + 4) +
                                    "] in file \"main.tmb\": \"expression nested deeper than 4000 levels\"");
  EXPECT_EQ(deeper.Root, nullptr);
}

TEST_F(ParserTest, ExceptionsEndTheParseAndLeaveTheInputIdle) {
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

TEST_F(ParserTest, TraceWritesEveryStepInItsFormat) {
  const TParseRun run = Parse("0 f;", true);
  EXPECT_EQ(run.Messages, (std::vector<std::string>{"state 0, char -1, '------'",
                                                    "reduce 1",
                                                    "<integer>",
                                                    "state 1, char 257, '------'",
                                                    "state 4, char -1, '------'",
                                                    "reduce 36",
                                                    "state 23, char -1, '------'",
                                                    "reduce 34",
                                                    "<identifier>",
                                                    "state 22, char 258, '------'",
                                                    "reduce 30",
                                                    "state 21, char 258, '------'",
                                                    "reduce 28",
                                                    "state 20, char 258, '------'",
                                                    "state 42, char 59, ';'",
                                                    "reduce 14",
                                                    "state 67, char 59, ';'",
                                                    "reduce 13",
                                                    "state 15, char 59, ';'",
                                                    "state 37, char -1, '------'",
                                                    "reduce 7",
                                                    "state 14, char -1, '------'",
                                                    "reduce 6",
                                                    "state 13, char 0, '^@ NUL'",
                                                    "reduce 2",
                                                    "state 2, char 0, '^@ NUL'",
                                                    ""}));

  const TParseRun recovery = Parse("1 2;\n0 f;", true);
  bool popped = false;
  bool discarded = false;
  for (const std::string& line : recovery.Messages) {
    // The trace goes on in the caret line of the report it follows.
    const std::size_t at = line.find("error recovery pops state ");
    int top = 0;
    int below = 0;
    popped = popped ||
             (at != std::string::npos &&
              std::sscanf(line.c_str() + at, "error recovery pops state %d, uncovers %d", &top, &below) == 2);
    discarded = discarded || line == "error recovery discards char 257 (------)";
  }
  EXPECT_TRUE(popped);
  EXPECT_TRUE(discarded);
  EXPECT_EQ(recovery.Errors, 1);
  ASSERT_GE(recovery.Messages.size(), 14u);
  EXPECT_EQ(recovery.Messages[13], "  ^error recovery pops state 22, uncovers 1");
}

TEST_F(ParserTest, NodesCarryThePositionOfTheirReduction) {
  const TParseRun run = Parse("0 f;\n  1 g(2);\n");
  ASSERT_TRUE(run.Ok());
  const TDefinition* f = run.Root->Definitions.get();
  const TDefinition* g = f->Next;
  // f's action is reduced once ";" shows that no argument list follows; g's right after its ")".
  EXPECT_EQ(f->Line, 1);
  EXPECT_EQ(f->Column, 4);
  EXPECT_EQ(g->Line, 2);
  EXPECT_EQ(g->Column, 8);
  EXPECT_EQ(g->FileName, "main.tmb");
  // The root is built after the end of the input: the idle position, the main file's name.
  EXPECT_EQ(run.Root->Name, "main.tmb");
  EXPECT_EQ(run.Root->FileName, "main.tmb");
  EXPECT_EQ(run.Root->Line, 0);
  EXPECT_EQ(run.Root->Column, 0);
}

TEST_F(ParserTest, IncludedStatementsFollowTheIncludeInPlace) {
  Dir.Write("a.tmb", "1 x;\ninclude b;\n2 y;\n");
  Dir.Write("b.tmb", "5 w;\n");
  const TParseRun run = Parse("include a;\n9 z;\n");
  ASSERT_TRUE(run.Ok());
  EXPECT_EQ(Titles(run), (std::vector<std::string>{"TInclude( " + Dir.Path() + "/a.tmb)", "TAction( x)",
                                                   "TInclude( " + Dir.Path() + "/b.tmb)", "TAction( w)",
                                                   "TAction( y)", "TAction( z)"}));
  std::vector<std::string> files;
  for (const TDefinition* d = run.Root->Definitions.get(); d; d = d->Next) files.push_back(d->FileName);
  files.resize(6);
  EXPECT_EQ(files, (std::vector<std::string>{"main.tmb", "a.tmb", "a.tmb", "b.tmb", "a.tmb", "main.tmb"}));

  // The last statements from an include file: the root still names the main file.
  const TParseRun last = Parse("0 f;\ninclude b;");
  ASSERT_TRUE(last.Ok());
  EXPECT_EQ(last.Root->Name, "main.tmb");
  EXPECT_EQ(last.Root->FileName, "main.tmb");

  // Inside a body, the include's statements belong to the body.
  const TParseRun body = Parse("p; (include b;);\n0 p;");
  ASSERT_TRUE(body.Ok());
  const auto* p = dynamic_cast<const TProcDef*>(body.Root->Definitions.get());
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->Definitions, nullptr);
  EXPECT_STREQ(p->Definitions->ClassName(), "TInclude");
  ASSERT_NE(p->Definitions->Next, nullptr);
  EXPECT_EQ(static_cast<const TAction*>(p->Definitions->Next)->Name, "w");
}

TEST_F(ParserTest, IncludeFilesMissingEndedByNulOrLooping) {
  // A missing file is no syntax error; the node keeps the full name for the resolution to report.
  const TParseRun missing = Parse("include nothere;\n0 f;\n");
  EXPECT_TRUE(missing.Ok());
  EXPECT_EQ(Titles(missing),
            (std::vector<std::string>{"TInclude( " + Dir.Path() + "/nothere.tmb)", "TAction( f)"}));

  // A NUL byte ends an include file's text.
  Dir.Write("nul.tmb", std::string("1 x;\n") + '\0' + "garbage ;; (");
  const TParseRun nul = Parse("include nul;\n2 y;\n");
  EXPECT_TRUE(nul.Ok());
  EXPECT_EQ(Titles(nul).size(), 3u);

  // A file that includes itself is refused once, with a counted report, and scanning goes on.
  Dir.Write("self.tmb", "include self;\n1 x;\n");
  const TParseRun loop = Parse("include self;\n2 y;\n");
  EXPECT_EQ(loop.Errors, 1);
  ASSERT_FALSE(loop.Messages.empty());
  EXPECT_NE(loop.Messages[0].find("include loop"), std::string::npos);
  EXPECT_EQ(Titles(loop).back(), "TAction( y)");

  // A chain deeper than the limit stops at the limit.
  for (int i = 0; i < MaxIncludeDepth + 5; ++i) {
    Dir.Write("n" + std::to_string(i) + ".tmb", "include n" + std::to_string(i + 1) + ";\n");
  }
  const TParseRun deep = Parse("include n0;\n0 f;\n");
  EXPECT_EQ(deep.Errors, 1);
  ASSERT_FALSE(deep.Messages.empty());
  EXPECT_NE(deep.Messages[0].find("nested deeper than"), std::string::npos);
  EXPECT_EQ(Titles(deep).back(), "TAction( f)");
}

}  // namespace
}  // namespace tambrel::testing
