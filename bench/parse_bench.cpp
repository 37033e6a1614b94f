// Front-end throughput: a generated Tambrel of about 20 MB (procedures with parameters, loops with and
// without a step, constants, long expressions, comments) is read, scanned and parsed into the
// definition tree. Printed: megabytes of source per second for OpenSource + ResetInput + the parse,
// resident bytes the tree keeps per source byte, and the time the tree takes to destroy.
//
// Each run is a child process of its own, so that memory freed by an earlier run cannot make a later
// one look cheaper; the median of three runs is printed, because the machine is shared. Within each
// child the same file is then parsed a second time, into the memory the first tree gave back, as when
// a Tambrel is compiled again in the running program: the "warm" figures. Beside the
// wall-clock rate the rate per second of the process's own CPU time is printed (other programs on the
// machine slow the first, not the second), and the page faults the parse took: the tree's memory is
// new to the process, and on a virtual machine each first touch of a page is costly. The last line gives
// that cost alone: the time a fresh process takes to write as much new memory as the tree holds.
// Then the same sections without their comments are parsed as one line of about 20 MB and as the same
// bytes in lines of 100 characters: reading a line costs the same however long the line is.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include "support/huge_page_heap.h"

#include "compiler/tambrel.h"
#include "in_child_process.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"

using namespace tambrel;

namespace {

constexpr std::size_t TargetBytes = 20u * 1024u * 1024u;
// About what the tree of the generated script keeps (28 bytes per source byte).
constexpr long long FreshBytes = 560ll * 1024 * 1024;

struct TFigures {
  double Seconds = 0;
  double CpuSeconds = 0;  // user and system time of the process during the parse
  long long PageFaults = 0;
  double DestroySeconds = 0;
  long long ResidentBytes = 0;  // kept by the tree after the parse
  int32_t Errors = -1;
  bool Accepted = false;
};

long long ResidentBytesNow() {
  std::ifstream statm("/proc/self/statm");
  long long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

double CpuSecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long long MinorFaultsNow() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One section of the generated script; k makes its names unique. About 1.6 kB.
void AppendSection(std::string& out, int k) {
  const std::string n = std::to_string(k);
  out += "// Section " + n + ": a phrase of four notes, a roll and an accent, all built from expressions.\n";
  out += "const base" + n + " = " + std::to_string(36 + k % 48) + ";\n";
  out += "const len" + n + " = 0.125 * (" + std::to_string(1 + k % 7) + " + 1) div 2;\n";
  out += "phrase" + n + "(pitch, vel, gap);\n(\n";
  out += "  // each note: on, then off after most of the gap\n";
  out += "  0 out(1, $90, pitch, vel);\n";
  out += "  gap * 3 div 4 out(1, $80, pitch, 0);\n";
  out += "  gap out(1, $90, pitch + 4, (vel * 7 + 3) div 8 mod 128);\n";
  out += "  gap + gap * 3 div 4 out(1, $80, pitch + 4, 0);\n";
  out += "  loop(i, 0, 3);\n  (\n";
  out += "    2 * gap + i * gap div 2 out(1, $90, pitch + 7 + i * 2 - (i and 1), vel - i * 5);\n";
  out += "    2 * gap + i * gap div 2 + 10 out(1, $80, pitch + 7 + i * 2 - (i and 1), 0);\n";
  out += "  );\n);\n";
  out += "roll" + n + "(note);\n(\n";
  out += "  loop(t, 0, 0.5, 0.0625);\n  (\n";
  out += "    t out(1, $99, note, 40 + (t * 1000 div 62) * 8 mod 80 + (t > 0.25) * 10);\n";
  out += "    t + 0.03 out(1, $89, note, 0);\n";
  out += "  );\n);\n";
  out += "// Long expression: the accent's velocity folds from constants and comparisons.\n";
  out += std::to_string(k % 100) + " * 4 + len" + n + " out(1, $B0, 7, ((base" + n +
         " * 3 + 17) mod 127 xor 85) and 127 or (base" + n + " >= 60) * 0 + (2 * 3 - 6) * (base" + n +
         " <> 0) + not 0 and 1 - 1);\n";
  out += std::to_string(k % 100) + " * 4 phrase" + n + "(base" + n + ", 100 - " + std::to_string(k % 30) +
         ", len" + n + " * 2);\n";
  out += std::to_string(k % 100) + " * 4 + 2 roll" + n + "(42);\n";
  out += "loop(s, 1, 4, 1);\n(\n";
  out += "  s * 0.25 + " + std::to_string(k % 100) + " * 4 out(1, $C0, (s + base" + n + ") mod 128);\n";
  out += "  s * 0.25 + " + std::to_string(k % 100) +
         " * 4 + 0.01 nop(s, s * 2, s * 3, s * 4, s * 5, s * 6, s * 7, s * 8);\n";
  out += ");\n\n";
}

std::string GenerateScript() {
  std::string text;
  text.reserve(TargetBytes + 4096);
  for (int k = 0; text.size() < TargetBytes; ++k) AppendSection(text, k);
  return text;
}

// The text without its comments, every line end a space: one line. A comment would run to its end.
std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::size_t first = text.find_first_not_of(' ', start);
    if (first < end && text.compare(first, 2, "//") != 0) {
      line.append(text, start, end - start);
      line.push_back(' ');
    }
    start = end + 1;
  }
  return line;
}

// About 20 MB of generated sections without their comments, as one line.
std::string OneLineScript() {
  std::string line;
  line.reserve(TargetBytes + 4096);
  for (int k = 0; line.size() < TargetBytes; ++k) {
    std::string section;
    AppendSection(section, k);
    line += OneLine(section);
  }
  return line;
}

// The same bytes in lines of about width characters: a space after each width characters becomes a
// line feed.
std::string InLinesOf(std::string text, std::size_t width) {
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i - lineStart >= width && text[i] == ' ') {
      text[i] = '\n';
      lineStart = i + 1;
    }
  }
  return text;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = file != nullptr && std::fclose(file) == 0 && written;
  if (!written) {
    std::perror(path.c_str());
    unlink(path.c_str());
  }
  return written;
}

TFigures Measure(const std::string& path) {
  TFigures f;
  ClearParseResult();
  const long long before = ResidentBytesNow();
  const long long faultsBefore = MinorFaultsNow();
  const double cpuStart = CpuSecondsNow();
  const auto start = std::chrono::steady_clock::now();
  OpenSource(path);
  ResetInput();
  const int result = ParseCurrentSource();
  f.Seconds = SecondsSince(start);
  f.CpuSeconds = CpuSecondsNow() - cpuStart;
  f.PageFaults = MinorFaultsNow() - faultsBefore;
  f.Errors = ErrorCount();
  std::unique_ptr<TTambrel> root = TakeParseResult();
  f.Accepted = result == 0 && root != nullptr;
  f.ResidentBytes = ResidentBytesNow() - before;
  const auto destroyStart = std::chrono::steady_clock::now();
  root.reset();
  f.DestroySeconds = SecondsSince(destroyStart);
  return f;
}

struct TColdWarm {
  TFigures Cold;
  TFigures Warm;
};

// Measure twice in one fresh process: the cold parse, then the warm one.
TColdWarm InChild(const std::string& path) {
  return bench::InChildProcess<TColdWarm>([&path] {
    TColdWarm f;
    try {
      f.Cold = Measure(path);
      f.Warm = Measure(path);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "parse failed: %s\n", e.what());
    }
    return f;
  });
}

// The floor under the cold figure: seconds a fresh process takes to allocate and first write `bytes`
// bytes, about as many as the tree keeps, with no parsing at all. On a virtual machine whose host takes
// back memory the guest freed, this varies with what ran just before.
double FreshMemorySeconds(long long bytes) {
  if (bytes <= 0) return 0;
  return bench::InChildProcess<double>([bytes] {
    const auto start = std::chrono::steady_clock::now();
    // In blocks below glibc's mmap threshold, so that they come from the heap as the tree's nodes do.
    std::vector<std::unique_ptr<char[]>> blocks;
    constexpr long long block = 64 * 1024;
    unsigned sum = 0;
    for (long long done = 0; done < bytes; done += block) {
      blocks.emplace_back(new char[block]);
      std::memset(blocks.back().get(), static_cast<int>(done & 127), block);
      sum += static_cast<unsigned char>(blocks.back()[static_cast<size_t>(done % block)]);
    }
    const double seconds = SecondsSince(start);
    // Reading the sum keeps the compiler from dropping the writes, and with them the allocations.
    return sum == 1 ? -seconds : seconds;
  });
}

double MedianSeconds(std::vector<TFigures> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const TFigures& a, const TFigures& b) { return a.Seconds < b.Seconds; });
  return runs[runs.size() / 2].Seconds;
}

void Print(const char* title, std::vector<TFigures> runs, std::size_t sourceBytes) {
  std::sort(runs.begin(), runs.end(),
            [](const TFigures& a, const TFigures& b) { return a.Seconds < b.Seconds; });
  const TFigures& median = runs[1];
  const double megabytes = static_cast<double>(sourceBytes) / (1024.0 * 1024.0);
  std::printf(
      "%s parse of a %.1f MB Tambrel into its tree: %.1f MB/s (target >= 20), %.2f s wall; "
      "%.1f MB/s of process CPU time (%.2f s, %lld page faults); "
      "%.2f bytes of resident growth per source byte; tree destroyed in %.3f s (median of 3)\n",
      title, megabytes, megabytes / median.Seconds, median.Seconds, megabytes / median.CpuSeconds,
      median.CpuSeconds, median.PageFaults,
      static_cast<double>(median.ResidentBytes) / static_cast<double>(sourceBytes), median.DestroySeconds);
}

}  // namespace

int main(int, char** argv) {
  // The programs run on the huge-page heap; so are they measured.
  tambrel::UseHugePageHeap(argv);
  std::printf("heap: GLIBC_TUNABLES=%s\n", tambrel::StartTunables().value_or("(unset)").c_str());
  const std::string text = GenerateScript();
  // A short file name, as script names usually are: every node keeps a copy of it, and one of up to
  // 15 characters lives inside the node's string instead of a heap block of its own.
  char folder[] = "/tmp/tambrel-parse-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = std::string(folder) + "/generated.tmb";
  if (!WriteFile(path, text)) {
    rmdir(folder);
    return 1;
  }

  // The first parse of all meets memory that the machine may have to provide afresh; the fresh-memory
  // run after it shows that cost alone, and the three runs of the figures come after both.
  const TFigures first = InChild(path).Cold;
  const double freshBefore = FreshMemorySeconds(FreshBytes);
  std::vector<TFigures> cold, warm;
  for (int run = 0; run < 3; ++run) {
    const TColdWarm f = InChild(path);
    cold.push_back(f.Cold);
    warm.push_back(f.Warm);
  }
  unlink(path.c_str());

  const std::string oneLine = OneLineScript();
  const std::string lines = InLinesOf(oneLine, 100);
  const std::string oneLinePath = std::string(folder) + "/oneline.tmb";
  const std::string linesPath = std::string(folder) + "/lines.tmb";
  std::vector<TFigures> oneLineRuns, linesRuns;
  if (WriteFile(oneLinePath, oneLine) && WriteFile(linesPath, lines)) {
    for (int run = 0; run < 3; ++run) {
      oneLineRuns.push_back(InChild(oneLinePath).Cold);
      linesRuns.push_back(InChild(linesPath).Cold);
    }
  }
  unlink(oneLinePath.c_str());
  unlink(linesPath.c_str());
  rmdir(folder);
  std::vector<TFigures> firstRun{first};
  for (const std::vector<TFigures>* runs : {&firstRun, &cold, &warm, &oneLineRuns, &linesRuns}) {
    if (runs->empty()) return 1;
    for (const TFigures& f : *runs) {
      if (!f.Accepted || f.Errors != 0) {
        std::fprintf(stderr, "the generated script was not accepted (%d errors)\n", f.Errors);
        return 1;
      }
    }
  }
  const double megabytes = static_cast<double>(text.size()) / (1024.0 * 1024.0);
  std::printf(
      "first cold parse of all, on memory new to the process and possibly to the machine: %.1f MB/s "
      "(%.2f s)\n",
      megabytes / first.Seconds, first.Seconds);
  Print("cold", cold, text.size());
  Print("warm", warm, text.size());
  std::printf(
      "fresh memory: a new process allocates and first writes %.0f MB (about the tree's size) in "
      "%.2f s after the first parse, %.2f s after all, with no parsing\n",
      static_cast<double>(FreshBytes) / (1024.0 * 1024.0), freshBefore, FreshMemorySeconds(FreshBytes));
  const double oneLineRate =
      static_cast<double>(oneLine.size()) / (1024.0 * 1024.0) / MedianSeconds(oneLineRuns);
  const double linesRate = static_cast<double>(lines.size()) / (1024.0 * 1024.0) / MedianSeconds(linesRuns);
  std::printf(
      "line length: one line of %.1f MB parses at %.1f MB/s, the same bytes in 100-character lines at "
      "%.1f MB/s: one line at %.0f%% of short lines (target >= 80%%; cold, median of 3)\n",
      static_cast<double>(oneLine.size()) / (1024.0 * 1024.0), oneLineRate, linesRate,
      100.0 * oneLineRate / linesRate);
  return 0;
}
