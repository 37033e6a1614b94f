#include "script/lex/source_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "compiler/definition.h"
#include "lex_test_support.h"
#include "script/lex/scanner.h"
#include "script/lex/tokens.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

using testing::Codes;
using testing::ScanFile;
using testing::TScanned;
using testing::TTempDir;
using Lines = std::vector<std::string>;

class LexSourceInput : public ::testing::Test {
 protected:
  void SetUp() override {
    // Clears the messages and the error count of earlier tests, then the idle state.
    ResetInput();
    RestoreIdleInput();
    SetTraceOn(false);
  }
  void TearDown() override {
    SetTraceOn(false);
    RestoreIdleInput();
  }

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

  TTempDir Dir;
};

TEST_F(LexSourceInput, PositionIsTheLastCharacterOfTheToken) {
  const std::vector<TScanned> tokens = ScanFile(Dir.Write("p.tmb", "ab  cd\n\n  e;\tfgh"));
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].Line, 1);
  EXPECT_EQ(tokens[0].Column, 2);
  EXPECT_EQ(tokens[1].Column, 6);
  EXPECT_EQ(tokens[2].Line, 3);
  EXPECT_EQ(tokens[2].Column, 3);
  EXPECT_EQ(tokens[3].Column, 4);
  EXPECT_EQ(tokens[4].Column, 8);
  EXPECT_EQ(tokens[4].File, "p.tmb");
  // The end of the main file brings back the idle state.
  EXPECT_EQ(tokens[5].Code, tok::END);
  EXPECT_EQ(tokens[5].Line, 0);
  EXPECT_EQ(tokens[5].Column, 0);
  EXPECT_EQ(tokens[5].File, "");
}

TEST_F(LexSourceInput, CarriageReturnIsASpaceAndLinesCountLineFeeds) {
  const std::vector<TScanned> tokens = ScanFile(Dir.Write("crlf.tmb", "a;\r\nb;\r\n\r\n  c\r;"));
  ASSERT_EQ(Codes(tokens),
            (std::vector<int32_t>{tok::IDENTIFIER, ';', tok::IDENTIFIER, ';', tok::IDENTIFIER, ';'}));
  EXPECT_EQ(tokens[2].Line, 2);
  EXPECT_EQ(tokens[2].Column, 1);
  EXPECT_EQ(tokens[4].Line, 4);
  EXPECT_EQ(tokens[4].Column, 3);
  EXPECT_EQ(tokens[5].Column, 5);
}

// A report at the last character of the first identifier spelled At (at the end of the input when
// At is empty): its three lines.
struct TReportCase {
  std::string Text;
  std::string At;
  Lines Report;
};

TEST_F(LexSourceInput, ErrorReports) {
  std::string xs;
  for (int i = 0; i < 1500; ++i) xs += "x ";
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
      {xs + "bar " + xs,
       "bar",
       {"[1,3003] in file \"r.tmb\": \"e\"", (xs + "bar " + xs).substr(2502, 1000),
        std::string(500, ' ') + "^"}},
      {"bar " + xs, "bar", {"[1,3] in file \"r.tmb\": \"e\"", ("bar " + xs).substr(0, 1000), "  ^"}},
      {xs + "bar",
       "bar",
       {"[1,3003] in file \"r.tmb\": \"e\"", (xs + "bar").substr(2003), std::string(999, ' ') + "^"}},
  };
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

TEST_F(LexSourceInput, ErrorReportEchoesTheOneSourceLine) {
  for (const char* eol : {"\n", "\r\n"}) {
    const std::string eolText = eol;
    OpenSource(
        Dir.Write("three.tmb", "x;" + eolText + "y;" + eolText + "foo bar baz" + eolText + "z;" + eolText));
    ResetInput();
    ASSERT_TRUE(ScanUpTo("bar"));
    ReportError("syntax error");
    EXPECT_EQ(Messages(), (Lines{"[3,7] in file \"three.tmb\": \"syntax error\"", "foo bar baz", "      ^"}));
    EXPECT_EQ(ErrorCount(), 1);
    RestoreIdleInput();
  }
}

TEST_F(LexSourceInput, ErrorReportAtTheFirstAndTheLastCharacter) {
  OpenSource(Dir.Write("edge.tmb", "a\nlast"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("a"));
  ReportError("first");
  ASSERT_TRUE(ScanUpTo("last"));
  ReportError("second");
  EXPECT_EQ(Messages(), (Lines{"[1,1] in file \"edge.tmb\": \"first\"", "a", "^",
                               "[2,4] in file \"edge.tmb\": \"second\"", "last", "   ^"}));
  EXPECT_EQ(ErrorCount(), 2);
}

TEST_F(LexSourceInput, ErrorReportAfterTheEndOfInputShowsTheIdleState) {
  OpenSource(Dir.Write("dir.tmb", "0 x"));
  ResetInput();
  EXPECT_FALSE(ScanUpTo("nothing"));
  ReportError("syntax error");
  EXPECT_EQ(Messages(), (Lines{"[0,0] in file \"\": \"syntax error\"", "", "^"}));
}

TEST_F(LexSourceInput, ErrorReportNamesTheFileWithoutItsDirectoryAndCutsLongMessages) {
  OpenSource(Dir.Write("named.tmb", "q"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("q"));
  EXPECT_EQ(SourceName(), Dir.Path() + "/named.tmb");
  EXPECT_EQ(SourceFileName(), "named.tmb");
  ReportError(std::string(300, 'm'));
  EXPECT_EQ(Messages()[0], "[1,1] in file \"named.tmb\": \"" + std::string(255, 'm') + "\"");
}

TEST_F(LexSourceInput, ResetInputStartsTheCurrentFileAgain) {
  OpenSource(Dir.Write("again.tmb", "first second"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("second"));
  WriteChar('z');
  ReportError("x");
  ResetInput();
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(ErrorCount(), 0);
  EXPECT_EQ(Line(), 1);
  EXPECT_EQ(Column(), 0);
  ASSERT_TRUE(ScanUpTo("first"));
  EXPECT_EQ(Column(), 5);
}

TEST_F(LexSourceInput, MissingFileChangesNothing) {
  OpenSource(Dir.Write("m.tmb", "a b"));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("a"));
  OpenIncludeSource(Dir.Path() + "/absent.tmb");
  OpenIncludeSource(Dir.Path());  // a directory is not a source file
  EXPECT_EQ(FileStackDepth(), 1u);
  EXPECT_EQ(SourceFileName(), "m.tmb");
  EXPECT_TRUE(ScanUpTo("b"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LexSourceInput, UnreadableFileThrowsAndKeepsTheCurrentSource) {
  if (geteuid() == 0) GTEST_SKIP() << "file permissions do not apply to root";
  const std::string path = Dir.Write("locked.tmb", "x");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  OpenSource(Dir.Write("main.tmb", "y"));
  EXPECT_THROW(OpenSource(path), EInOutError);
  EXPECT_EQ(FileStackDepth(), 1u);
  EXPECT_EQ(SourceFileName(), "main.tmb");
}

TEST_F(LexSourceInput, IncludesNestAndResumeAfterTheirStatement) {
  Dir.Write("inner.tmb", "i1; i2;");
  Dir.Write("outer.tmb", "o1; include inner; o2;");
  const std::vector<TScanned> tokens =
      ScanFile(Dir.Write("main.tmb", "m1;\ninclude outer;\nm2;"), Dir.Path());
  std::vector<std::string> names;
  std::vector<std::string> files;
  for (const TScanned& token : tokens) {
    if (token.Code == tok::IDENTIFIER && token.Text != "inner" && token.Text != "outer") {
      names.push_back(token.Text);
      files.push_back(token.File);
    }
  }
  EXPECT_EQ(names, (Lines{"m1", "o1", "i1", "i2", "o2", "m2"}));
  EXPECT_EQ(files, (Lines{"main.tmb", "outer.tmb", "inner.tmb", "inner.tmb", "outer.tmb", "main.tmb"}));
  // Back in the main file, the position is the one after its include statement.
  const TScanned& m2 = tokens[tokens.size() - 3];
  EXPECT_EQ(m2.Text, "m2");
  EXPECT_EQ(m2.Line, 3);
  EXPECT_EQ(m2.Column, 2);
  EXPECT_EQ(FileStackDepth(), 0u);
  EXPECT_EQ(SourceFileName(), "");
}

TEST_F(LexSourceInput, IncludeOfAMissingFileScansOn) {
  const std::vector<TScanned> tokens = ScanFile(Dir.Write("main.tmb", "include nothere; after;"), Dir.Path());
  EXPECT_EQ(Codes(tokens), (std::vector<int32_t>{tok::INCLUDE, tok::IDENTIFIER, ';', tok::IDENTIFIER, ';'}));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, NulByteEndsTheTextOfAFile) {
  Dir.Write("nul.tmb", std::string("in1;\0in2;", 9));
  const std::vector<TScanned> tokens =
      ScanFile(Dir.Write("main.tmb", std::string("include nul; back;\0 hidden;", 27)), Dir.Path());
  std::vector<std::string> names;
  for (const TScanned& token : tokens) {
    if (token.Code == tok::IDENTIFIER) names.push_back(token.Text);
  }
  EXPECT_EQ(names, (Lines{"nul", "in1", "back"}));
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, ErrorReportEndsTheEchoedLineAtANulByte) {
  OpenSource(Dir.Write("n.tmb", std::string("ab cd\0ef\ngh", 11)));
  ResetInput();
  ASSERT_TRUE(ScanUpTo("cd"));
  ReportError("e");
  EXPECT_EQ(Messages()[1], "ab cd");
}

TEST_F(LexSourceInput, EmptyIncludeFileAndEmptyMainFile) {
  Dir.Write("empty.tmb", "");
  std::vector<TScanned> tokens = ScanFile(Dir.Write("main.tmb", "include empty; z;"), Dir.Path());
  EXPECT_EQ(tokens.size(), 6u);
  EXPECT_EQ(FileStackDepth(), 0u);
  RestoreIdleInput();
  tokens = ScanFile(Dir.Write("nothing.tmb", ""));
  EXPECT_EQ(Codes(tokens), std::vector<int32_t>{});
  EXPECT_EQ(FileStackDepth(), 0u);
}

// Counts the identifiers spelled name among the tokens.
int32_t CountOf(const std::vector<TScanned>& tokens, const std::string& name) {
  int32_t count = 0;
  for (const TScanned& token : tokens) count += token.Text == name;
  return count;
}

TEST_F(LexSourceInput, FileIncludingItselfIsRefusedAndScanningGoesOn) {
  const std::vector<TScanned> tokens =
      ScanFile(Dir.Write("self.tmb", "0 x;\ninclude self; include self;\n1 y;"), Dir.Path());
  EXPECT_EQ(CountOf(tokens, "x"), 1);
  EXPECT_EQ(CountOf(tokens, "y"), 1);
  EXPECT_EQ(ErrorCount(), 2);
  EXPECT_EQ(Messages(), (Lines{"[2,13] in file \"self.tmb\": \"include file self.tmb not opened: it is being "
                               "read already (include loop)\"",
                               "include self; include self;", "            ^",
                               "[2,27] in file \"self.tmb\": \"include file self.tmb not opened: it is being "
                               "read already (include loop)\"",
                               "include self; include self;", "                          ^"}));
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, IncludeLoopThroughAnotherFileIsRefused) {
  Dir.Write("ping.tmb", "p; include pong; q;");
  Dir.Write("pong.tmb", "r; include ping; s;");
  const std::vector<TScanned> tokens = ScanFile(Dir.Write("main.tmb", "include ping; m;"), Dir.Path());
  for (const char* name : {"p", "q", "r", "s", "m"}) EXPECT_EQ(CountOf(tokens, name), 1) << name;
  EXPECT_EQ(ErrorCount(), 1);
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_EQ(Messages()[0],
            "[1,16] in file \"pong.tmb\": \"include file ping.tmb not opened: it is being read already "
            "(include loop)\"");
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, IncludesNestedDeeperThanTheLimitAreRefused) {
  for (int32_t level = 0; level <= MaxIncludeDepth + 5; ++level) {
    Dir.Write("c" + std::to_string(level) + ".tmb",
              "before; include c" + std::to_string(level + 1) + "; after;");
  }
  const std::vector<TScanned> tokens = ScanFile(Dir.Path() + "/c0.tmb", Dir.Path());
  // The main file and MaxIncludeDepth nested includes are read, each to its end.
  EXPECT_EQ(CountOf(tokens, "before"), MaxIncludeDepth + 1);
  EXPECT_EQ(CountOf(tokens, "after"), MaxIncludeDepth + 1);
  EXPECT_EQ(ErrorCount(), 1);
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_EQ(Messages()[0],
            "[1,20] in file \"c32.tmb\": \"include file c33.tmb not opened: includes nested "
            "deeper than 32 levels\"");
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, RestoreIdleInputAfterAnAbortedScan) {
  Dir.Write("bad.tmb", "a; " + std::string(300, 'b') + "; c;");
  EXPECT_THROW(ScanFile(Dir.Write("main.tmb", "include bad; after;"), Dir.Path()), ELex);
  EXPECT_EQ(ErrorCount(), 1);
  EXPECT_EQ(FileStackDepth(), 2u);
  RestoreIdleInput();
  EXPECT_EQ(FileStackDepth(), 0u);
  EXPECT_EQ(Line(), 0);
  EXPECT_EQ(Column(), 0);
  EXPECT_EQ(SourceName(), "");
  EXPECT_EQ(ErrorCount(), 1);  // kept for the caller
  // The next parse reads its own file only.
  const std::vector<TScanned> tokens = ScanFile(Dir.Write("next.tmb", "n;"));
  EXPECT_EQ(Codes(tokens), (std::vector<int32_t>{tok::IDENTIFIER, ';'}));
  EXPECT_EQ(tokens[0].Text, "n");
  EXPECT_EQ(FileStackDepth(), 0u);
}

TEST_F(LexSourceInput, WrapWithNothingSuspendedIsTheEnd) {
  EXPECT_TRUE(Wrap());
  OpenSource(Dir.Write("w.tmb", "w"));
  EXPECT_EQ(FileStackDepth(), 1u);
  EXPECT_TRUE(Wrap());  // the idle state comes back: its text is empty
  EXPECT_EQ(FileStackDepth(), 0u);
  EXPECT_EQ(SourceName(), "");
}

TEST_F(LexSourceInput, MessageLinesAndTraceText) {
  WriteChar('a');
  WriteChar('\0');
  WriteChar('b');
  WriteChar('\n');
  WriteChar('c');
  EXPECT_EQ(Messages(), (Lines{"ab", "c"}));
  WriteLine("hidden");  // trace off
  WriteFormatted("hidden %d", 1);
  EXPECT_EQ(Messages(), (Lines{"ab", "c"}));
  SetTraceOn(true);
  WriteLine("t1");
  WriteFormatted("state %d, char %d, '%s'", 3, 59, CharDisplayName(59).c_str());
  EXPECT_EQ(Messages(), (Lines{"ab", "ct1", "state 3, char 59, ';'", ""}));
}

TEST_F(LexSourceInput, ReportLinesAreWholeAndTraceContinuesTheCaretLine) {
  OpenSource(Dir.Write("t.tmb", "k l"));
  ResetInput();
  SetTraceOn(true);
  ASSERT_TRUE(ScanUpTo("l"));
  ReportError("syntax error");
  WriteLine("reduce 12");
  EXPECT_EQ(Messages(), (Lines{"<identifier>", "<identifier>", "",
                               "[1,3] in file \"t.tmb\": \"syntax error\"", "k l", "  ^reduce 12", ""}));
}

TEST_F(LexSourceInput, FatalCountsAndThrows) {
  try {
    Fatal("input buffer overflow");
    FAIL();
  } catch (const ELex& error) {
    EXPECT_STREQ(error.what(), "FATAL ERROR : 'input buffer overflow'");
  }
  EXPECT_EQ(ErrorCount(), 1);
}

TEST_F(LexSourceInput, CharacterDisplayNames) {
  EXPECT_EQ(CharDisplayName(0), "^@ NUL");
  EXPECT_EQ(CharDisplayName(9), "^I HT ");
  EXPECT_EQ(CharDisplayName(10), "^J LF ");
  EXPECT_EQ(CharDisplayName(13), "^M CR ");
  EXPECT_EQ(CharDisplayName(27), "^[ ESC");
  EXPECT_EQ(CharDisplayName(31), "^_ US ");
  EXPECT_EQ(CharDisplayName(32), "-- SP ");
  EXPECT_EQ(CharDisplayName(33), "!");
  EXPECT_EQ(CharDisplayName(';'), ";");
  EXPECT_EQ(CharDisplayName(126), "~");
  EXPECT_EQ(CharDisplayName(127), "-- DEL");
  EXPECT_EQ(CharDisplayName(128), "\x80");
  EXPECT_EQ(CharDisplayName(255), "\xFF");
  EXPECT_EQ(CharDisplayName(256), "------");
  EXPECT_EQ(CharDisplayName(tok::IDENTIFIER), "------");
  EXPECT_EQ(CharDisplayName(-1), "------");
  for (int32_t code = 0; code < 32; ++code) EXPECT_EQ(CharDisplayName(code).size(), 6u) << code;
}

}  // namespace
}  // namespace tambrel
