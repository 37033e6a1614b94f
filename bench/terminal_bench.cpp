// Figures of the terminal model as the Debug tab uses it (1000 rows of 80 columns, wrapping at column
// 23): trace lines per second on a full screen, and the time of one trace line of a 32 KB
// system-exclusive item (98,323 characters).
//
//   tambrel_terminal_bench [lines per run, default 1000000]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/text_format.h"
#include "terminal/vterm_model.h"

namespace tambrel {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::unique_ptr<TVTermModel> DebugTabTerminal() {
  auto terminal = std::make_unique<TVTermModel>("/nonexistent/LOG.TXT");
  terminal->SetRows(1000);
  terminal->SetCols(80);
  terminal->SetAutoWrap(true);
  terminal->SetAutoWrapCol(23);
  for (int i = 0; i < 1000; ++i) terminal->WriteLn("filling the screen");
  return terminal;
}

// A routed item's line: time, device and bytes.
std::string TraceLine(int i) {
  return StrFormat("%s 100 90 %02X 64 80 %02X 00 B0 07 7F C0",
                   FormatPlayTime(static_cast<uint32_t>(i)).c_str(), i % 128, (i + 7) % 128);
}

}  // namespace
}  // namespace tambrel

int main(int argc, char** argv) {
  using namespace tambrel;
  const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
  auto terminal = DebugTabTerminal();
  std::vector<std::string> trace;
  for (int i = 0; i < 4096; ++i) trace.push_back(TraceLine(i));
  std::printf("trace line: %zu characters, e.g. \"%s\"\n", trace[0].size(), trace[0].c_str());
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i) {
      terminal->WriteLn(trace[static_cast<size_t>(i) & 4095]);
      terminal->TakeChangedArea();
    }
    std::printf("WriteLn on a full 1000 x 80 screen, wrap column 23: %.0f lines/s (target >= 200000)\n",
                lines / Seconds(start));
  }

  std::string sysex = FormatPlayTime(0) + " 1";
  for (int i = 0; sysex.size() < 98323; ++i) sysex += StrFormat(" %02X", i == 0 ? 0xF0 : i % 128);
  sysex.resize(98323);
  std::vector<double> ms;
  for (int run = 0; run < 20; ++run) {
    const auto start = Clock::now();
    terminal->WriteLn(sysex);
    terminal->TakeChangedArea();
    ms.push_back(Seconds(start) * 1000);
  }
  std::sort(ms.begin(), ms.end());
  std::printf(
      "WriteLn of one %zu-character line: median %.2f ms, max %.2f ms over %zu runs (target <= 20 ms)\n",
      sysex.size(), ms[ms.size() / 2], ms.back(), ms.size());
  return 0;
}
