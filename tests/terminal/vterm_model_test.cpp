#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "support/runtime_errors.h"
#include "temp_folder.h"
#include "terminal/vterm_model.h"
#include "terminal_test_util.h"

namespace tambrel {
namespace {

using namespace std::string_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// Cases of one write to a terminal of 24 rows: its first rows (separated by '|') and the cursor after it.
TEST(VTermModel, ScreenTextAndCursor) {
  struct TLayout {
    int Cols = 80;
    bool Wrap = true;
    int WrapCol = 0;
  };
  struct TCase {
    const char* Name;
    TLayout Setup;
    std::string Input;
    std::u32string Screen;
    int Col, Row;
  };
  const std::string k150(150, 'a');
  const std::u32string k23(23, U' '), k80(80, U'y'), k20(20, U'y');
  const std::string utf8 = "\xc3\xa9\xff\xe2\x82\x41\xf0\x9f\x8e\xb5\xed\xa0\x80";  // with bad sequences
  const TCase cases[] = {
      {"NoWrap", {150, false}, std::string(155, 'x'), std::u32string(150, U'x') + U"|", 150, 0},
      {"WrapCol4", {150, true, 4}, k150 + "b", std::u32string(150, U'a') + U"|    b", 5, 1},
      {"WrapCol23", {80, true, 23}, std::string(100, 'y'), k80 + U"|" + k23 + k20, 43, 1},
      {"WrapColNotBelowCols", {10, true, 10}, "0123456789ab", U"0123456789|ab", 2, 1},
      {"Controls", {}, "ab\bc\tx\r\ny\0z\x0e\x0f\x01"s, U"ac      x|yz\x01", 3, 1},
      {"TabStopsAtLastCol", {80, false}, std::string(78, ' ') + "\t", U"", 80, 0},
      {"TabNeverBack", {10, false}, std::string(12, ' ') + "\t", U"", 12, 0},
      {"LoneEscape", {}, "\x1bx\x1b\x37\x1b\x44\x1b\r", U"x\r", 2, 0},
      {"CharsetSelection", {}, "\x1b(0a\x1b)Bb", U"ab", 2, 0},
      {"ControlEndsSequence", {}, "ab\x1b[1\rX", U"abX", 3, 0},
      {"PositionClamped", {150}, "\x1b[3;200H", U"", 149, 2},
      {"RightStopsWithoutWrap", {80, false}, "\x1b[200C", U"", 79, 0},
      {"RightWrapsWithOvershoot", {80, true, 23}, "\x1b[1;78H\x1b[5C", U"", 25, 1},
      {"RightWrapTooFar", {80, true, 23}, "\x1b[1;78H\x1b[500C", U"", 0, 1},
      {"EraseAboveWholeLines", {}, "abc\r\ndef\r\nghi\x1b[2;2H\x1b[1J", U"||ghi", 1, 1},
      {"EraseLineParamsIgnored", {}, "abcdef\x1b[1;3H\x1b[1K", U"ab", 2, 0},
      {"BadRegionIsWholeScreen", {}, "\x1b[5;3r\x1b[24H\nz", U"", 1, 23},
      {"ScrollUpOnce", {}, "a\r\nb\x1b[5S", U"b|", 1, 1},
      {"InsertLinesHuge", {}, "a\r\nb\r\nc\x1b[2;2H\x1b[99999999999L", U"a||", 0, 1},
      {"DeleteLinesOutsideRegion", {}, "a\r\nb\r\nc\x1b[1;2r\x1b[3;2H\x1b[M", U"a|b|c", 1, 2},
      {"InsertCharsHuge", {10}, "abcdefghij\x1b[1;3H\x1b[99999999999@", U"ab", 2, 0},
      {"DeleteCharsHuge", {10}, "abcdefghij\x1b[1;3H\x1b[4294967297P", U"ab", 2, 0},
      {"Utf8", {}, utf8, U"\u00e9\ufffd\ufffdA\U0001f3b5\ufffd\ufffd\ufffd", 8, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto terminal = MakeTerminal(c.Setup.Cols, 24, c.Setup.Wrap, c.Setup.WrapCol);
    terminal->Write(c.Input);
    std::u32string screen = RowText(*terminal, 0);
    for (int row = 1; row <= std::count(c.Screen.begin(), c.Screen.end(), U'|'); ++row)
      screen += U"|" + RowText(*terminal, row);
    EXPECT_EQ(screen, c.Screen);
    EXPECT_EQ(std::pair(terminal->CursorCol(), terminal->CursorRow()), std::pair(c.Col, c.Row));
  }
}

TEST(VTermModel, Utf8SplitAcrossWritesAndLineEndOptions) {
  auto terminal = MakeTerminal();
  terminal->Write("\xe2\x82");
  terminal->Write("\xac!\r\nab\ncd");
  EXPECT_EQ(RowText(*terminal, 0), U"\u20ac!");
  EXPECT_EQ(RowText(*terminal, 2), U"  cd");
  terminal->SetAutoCR(true);
  terminal->Write("\ne");
  terminal->SetAutoCR(false);
  terminal->SetAutoLF(true);
  terminal->Write("\rf");
  EXPECT_EQ(RowText(*terminal, 3), U"e");
  EXPECT_EQ(RowText(*terminal, 4), U"f");
}

TEST(VTermModel, OverlongSequenceDroppedWithBeep) {
  auto terminal = MakeTerminal();
  int beeps = 0;
  terminal->OnBeep = [&] { ++beeps; };
  terminal->Write("\x1b[" + std::string(76, '1') + ";1m" + "\a");  // 79 characters: carried out
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(terminal->Attribute(), kDefaultAttribute | 0x08);
  terminal->Write("\x1b[" + std::string(79, '2') + "x");  // the 80th dropped it: "x" is text
  EXPECT_EQ(beeps, 2);
  EXPECT_EQ(RowText(*terminal, 0), U"x");
}

TEST(VTermModel, Attributes) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"\x1b[31m", 0xF1},   {"\x1b[1;31m", 0xF9},    {"\x1b[7m", 0x87},
      {"\x1b[8m", 0x00},    {"\x1b[8;m", 0xF0},      {"\x1b[5;44m", 0xC0},
      {"\x1b[1;22m", 0xF0}, {"\x1b[31;7;27m", 0xF0}, {"\x1b[m", 0xF0},
      {"\x1b[8J", 0xF0},    {"\x1b[8m\x1b[J", 0xF0}, {"\x1b[" + std::string(30, ';') + "1m", 0xF8},
  };
  for (const auto& [input, attribute] : cases) {
    auto terminal = MakeTerminal();
    terminal->Write(input + "z");
    EXPECT_EQ(terminal->Attribute(), attribute) << input.substr(1);
    EXPECT_EQ(terminal->Line(0).Attrs[0], attribute) << input.substr(1);
  }
}

TEST(VTermModel, ChangedArea) {
  auto terminal = MakeTerminal();
  terminal->TakeChangedArea();
  EXPECT_TRUE(terminal->ChangedArea().Empty());
  terminal->Write("\x1b[3;5Hab\x1b[2;9Hc");
  TChangedArea area = terminal->TakeChangedArea();
  EXPECT_EQ(std::vector<int>({area.FirstRow, area.FirstCol, area.LastRow, area.LastCol, area.WholeScreen}),
            std::vector<int>({1, 4, 2, 8, false}));
  EXPECT_TRUE(terminal->ChangedArea().Empty());
  for (const char* input : {"\x1b[24;1H\n", "\x1b[2J", "\x1b[L", "\x1b[M", "\x1b[S", "\x1bM"}) {
    terminal->Write(input);
    EXPECT_TRUE(terminal->TakeChangedArea().WholeScreen) << input + 1;
  }
}

TEST(VTermModel, SizeSettersClampAndPullRegionInside) {
  auto terminal = MakeTerminal();
  const std::vector<std::tuple<int, int, int, int>> sizes = {
      {0, 0, 1, 1}, {-5, -5, 1, 1}, {5000, 151, 1000, 150}, {24, 80, 24, 80}};
  for (const auto& [rows, cols, wantRows, wantCols] : sizes) {
    terminal->SetRows(rows);
    terminal->SetCols(cols);
    EXPECT_EQ(terminal->Rows(), wantRows);
    EXPECT_EQ(terminal->Cols(), wantCols);
    terminal->Write("\x1b[9999;9999H\t\x1b[9999C\nxyz\n\x1bM\x1b[9999L\x1b[9999@");
    EXPECT_LT(terminal->CursorRow(), wantRows);
    EXPECT_LE(terminal->CursorCol(), kMaxCols);
  }
  terminal->SetRows(100);
  terminal->Write("\x1b[10;90r");
  terminal->SetRows(24);
  EXPECT_EQ(terminal->RegionTop(), 9);
  EXPECT_EQ(terminal->RegionBottom(), 23);
  EXPECT_EQ(terminal->CursorRow(), 0);
  terminal->Write("\x1b[24;1H\n");
  EXPECT_EQ(terminal->CursorRow(), 23);
}

class LogFile : public testing::Test {
 protected:
  TTempFolder Dir;
};

TEST_F(LogFile, RawBytesBetweenOpenAndClose) {
  {
    TVTermModel terminal((Dir.Root / "LOG.TXT").string());
    terminal.SetLog(true);
    terminal.Write("a\x1b[31m\xc3");
    terminal.WriteLn("\xa9\xff");
    terminal.SetLog(false);
    terminal.Write("unlogged");
    terminal.SetLog(true);
  }
  EXPECT_EQ(Dir.Read("LOG.TXT"), "<Open>\na\x1b[31m\xc3\xa9\xff\r\n<Close>\n<Open>\n<Close>\n");
}

TEST_F(LogFile, OpenFailureNamesFileAndReason) {
  for (const std::string& path : {(Dir.Root / "missing" / "LOG.TXT").string(), std::string("/dev/full")}) {
    TVTermModel terminal(path);
    const char* reason = path == "/dev/full" ? "No space" : "No such file";
    EXPECT_THAT([&] { terminal.SetLog(true); },
                ThrowsMessage<EInOutError>(AllOf(HasSubstr(path), HasSubstr(reason))));
    EXPECT_FALSE(terminal.Log());
  }
}

TEST_F(LogFile, WriteFailureKeepsTextAndReportsOnce) {
  // A file size limit makes the log fail part-way, as a full disk would.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  TVTermModel terminal((Dir.Root / "LOG.TXT").string());
  terminal.SetLog(true);
  rlimit small = saved;
  small.rlim_cur = 16;
  ::setrlimit(RLIMIT_FSIZE, &small);
  std::vector<std::string> failures;
  terminal.OnLogFailure = [&](const std::string& text) { failures.push_back(text); };
  for (int i = 0; i < 3; ++i) terminal.WriteLn("trace line " + std::to_string(i));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("LOG.TXT"), std::string::npos);
  EXPECT_FALSE(terminal.Log());
  EXPECT_EQ(RowText(terminal, 3), U"trace line 2");
}

}  // namespace
}  // namespace tambrel
