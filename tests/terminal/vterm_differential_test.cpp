// Seeded byte streams written to our terminal and to an independent one (@xterm/headless under node),
// restricted to the sequences where the two are meant to agree; the screens and cursors must match.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <sstream>

#include "child_process.h"
#include "terminal/vterm_model.h"
#include "terminal_test_util.h"

namespace tambrel {
namespace {

const std::filesystem::path kOracleDir = std::filesystem::path(TAMBREL_SOURCE_DIR) / "tests/terminal/oracle";

struct TScreenState {
  int CursorX = 0, CursorY = 0;
  std::vector<std::u32string> Rows;
  friend bool operator==(const TScreenState&, const TScreenState&) = default;
};

// Builds a stream token by token, asking our terminal where the cursor is so that it only writes
// what both terminals define alike (no cursor-relative moves on a pending wrap, nothing that wraps or
// moves vertically relative to a partial scroll region, tabs and backspaces away from the edge).
class TStreamMaker {
 public:
  TStreamMaker(uint32_t seed, int cols, int rows)
      : Random(seed), Cols(cols), Rows(rows), Terminal(MakeTerminal(cols, rows)) {}

  std::string Make(int tokenCount) {
    std::string bytes;
    for (int made = 0; made < tokenCount;) {
      const std::string token = Next();
      if (token.empty()) continue;
      Terminal->Write(token);
      bytes += token;
      ++made;
    }
    return bytes;
  }

 private:
  int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(Random); }
  // A parameter: missing, zero, in range or far too large. The other terminal repeats line and cell
  // insertions once per count, so their large counts stay moderate.
  std::string Param(int range, bool moderate = false) {
    switch (Pick(4)) {
      case 0:
        return "";
      case 1:
        return "0";
      case 2:
        return std::to_string(1 + Pick(range));
      default:
        return moderate ? "999" : Pick(2) ? "99999" : "4294967296";
    }
  }
  std::string Text(int maxLength) {
    static const char* const kWide[] = {"\xc3\xa9", "\xc3\x9f", "\xce\xa9", "\xd0\xb6", "\xe2\x82\xac"};
    std::string text;
    const int length = 1 + Pick(std::max(maxLength, 1));
    for (int i = 0; i < length; ++i)
      text += Pick(10) == 0 ? kWide[Pick(5)] : std::string(1, static_cast<char>(' ' + Pick(95)));
    return text;
  }
  std::string Position() {
    return "\x1b[" + Param(Rows + 5) + (Pick(3) ? ";" + Param(Cols + 5) : "") + (Pick(2) ? "H" : "f");
  }

  std::string Next() {
    const int col = Terminal->CursorCol(), row = Terminal->CursorRow();
    const int top = Terminal->RegionTop(), bottom = Terminal->RegionBottom();
    const bool fullRegion = top == 0 && bottom == Rows - 1;
    const bool pending = col >= Cols;
    const bool inRegion = row >= top && row <= bottom;
    switch (Pick(16)) {
      case 0:
      case 1:
        return Text(fullRegion ? 2 * Cols : Cols - 1 - col);
      case 2:
        return "\r";
      case 3:
        return row <= bottom && !pending ? "\n" : "";
      case 4:
        return col > 0 && !pending ? "\b" : "";
      case 5:
        return (col / 8 + 1) * 8 < Cols ? "\t" : "";
      case 6: {
        if (pending || (!fullRegion && Pick(2))) return "";
        const char final = "ABD"[Pick(3)];
        return fullRegion || final == 'D' ? "\x1b[" + Param(Rows) + final : "";
      }
      case 7: {
        const int n = 1 + Pick(8);
        if (pending || col + n >= Cols) return "";
        return "\x1b[" + (Pick(2) || n > 1 ? std::to_string(n) : "") + "C";  // a count of 1 may be left out
      }
      case 8:
        return Position();
      case 9:
        return pending ? "" : Pick(2) ? "\x1b[J" : "\x1b[0J";
      case 10:
        return pending ? "" : Pick(2) ? "\x1b[K" : "\x1b[0K";
      case 11:
        return inRegion ? "\x1b[" + Param(6, true) + (Pick(2) ? "L" : "M") : "";
      case 12:
        return pending ? "" : "\x1b[" + Param(10, true) + (Pick(2) ? "@" : "P");
      case 13:
        return Pick(2) ? "\x1b[S" : "\x1b[1S";
      case 14:
        return row >= top && !pending ? "\x1bM" : "";
      default: {
        // A scroll region, then a cursor move: ours keeps the cursor, the other homes it.
        if (Pick(3) == 0) return "\x1b[r" + Position();
        const int t = 1 + Pick(Rows - 1);
        const int b = t + 1 + Pick(Rows - t);
        return "\x1b[" + std::to_string(t) + ";" + std::to_string(b) + "r" + Position();
      }
    }
  }

  std::mt19937 Random;
  int Cols, Rows;
  std::unique_ptr<TVTermModel> Terminal;
};

struct TCase {
  uint32_t Seed;
  int Cols, Rows;
  std::string Bytes;
};

// The other terminal's state after each case, in one run. In, a line "cols rows bytes-in-hex" for each
// case; out, for each, "CURSOR x y", its rows as their code points in hex separated by "." ("-" when
// empty), then "END".
std::vector<TScreenState> RunOracle(const std::vector<TCase>& cases) {
  const char* const digits = "0123456789abcdef";
  TChildOptions options;
  for (const TCase& c : cases) {
    options.Input += std::to_string(c.Cols) + " " + std::to_string(c.Rows) + " ";
    for (const unsigned char b : c.Bytes) options.Input += {digits[b >> 4], digits[b & 15]};
    options.Input += "\n";
  }
  const TChildResult result =
      RunChild({"/usr/bin/env", "node", (kOracleDir / "xterm_oracle.mjs").string()}, options);
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  std::istringstream out(result.Out);
  std::vector<TScreenState> states;
  for (std::string word; out >> word && word == "CURSOR";) {
    TScreenState& state = states.emplace_back();
    out >> state.CursorX >> state.CursorY;
    for (std::string row; out >> row && row != "END";) {
      std::istringstream points(row == "-" ? "" : row);
      std::u32string& cells = state.Rows.emplace_back();
      for (std::string point; std::getline(points, point, '.');)
        cells += static_cast<char32_t>(std::stoul(point, nullptr, 16));
    }
  }
  return states;
}

TScreenState OurState(const TCase& c) {
  auto terminal = MakeTerminal(c.Cols, c.Rows);
  terminal->Write(c.Bytes);
  TScreenState state{terminal->CursorCol(), terminal->CursorRow(), {}};
  for (int row = 0; row < terminal->Rows(); ++row) state.Rows.push_back(RowText(*terminal, row));
  return state;
}

// The cursors and the rows that differ, for the report.
std::string Differences(const TScreenState& ours, const TScreenState& theirs) {
  std::ostringstream report;
  report << "cursor ours " << ours.CursorX << "," << ours.CursorY << " theirs " << theirs.CursorX << ","
         << theirs.CursorY;
  for (size_t row = 0; row < ours.Rows.size() && row < theirs.Rows.size(); ++row) {
    if (ours.Rows[row] != theirs.Rows[row])
      report << "\n  row " << row << " ours " << testing::PrintToString(ours.Rows[row]) << " theirs "
             << testing::PrintToString(theirs.Rows[row]);
  }
  return report.str();
}

TEST(VTermDifferential, AgreesWithXtermOnTheSharedSubset) {
  ASSERT_TRUE(std::filesystem::exists(kOracleDir / "node_modules/@xterm/headless"))
      << "the oracle is not installed: run tools/setup.sh (npm ci in " << kOracleDir << ")";
  std::vector<TCase> cases;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const int cols = seed % 2 ? 80 : 150, rows = seed % 2 ? 24 : 50;
    cases.push_back(
        {seed, cols, rows, TStreamMaker(seed, cols, rows).Make(20 + static_cast<int>(seed % 100))});
  }
  const std::vector<TScreenState> theirs = RunOracle(cases);
  ASSERT_EQ(theirs.size(), cases.size());
  int failures = 0;
  for (size_t i = 0; i < cases.size() && failures < 3; ++i) {
    const TScreenState ours = OurState(cases[i]);
    if (ours == theirs[i]) continue;
    ++failures;
    ADD_FAILURE() << "seed " << cases[i].Seed << " at " << cases[i].Cols << "x" << cases[i].Rows << ": "
                  << testing::PrintToString(cases[i].Bytes) << "\n  " << Differences(ours, theirs[i]);
  }
}

}  // namespace
}  // namespace tambrel
