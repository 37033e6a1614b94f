// Items per second of Expand and resident bytes per generated item, for a tree of nested loops and
// calls with parameters; beside it the same number of items made and appended by hand, which is what the
// timeline's items cost before the compiler does anything.
//
// Every run is measured in a child process of its own: freed items stay in the allocator's free lists,
// and a second run in the same process would reuse that warm memory and measure far less than a first
// compile really costs. The median of three runs is printed, because the machine is shared.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include "compiler/expansion.h"
#include "compiler/loop.h"
#include "compiler/tambrel.h"
#include "in_child_process.h"
#include "support/huge_page_heap.h"

using namespace tambrel;

namespace {

struct TFigures {
  double ItemsPerSecond = 0;
  double BytesPerItem = 0;
  long long Items = 0;
};

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// p(k); ( loop(j, 0, 999); ( k * 1000 + j out(1, 144, j, 100); ); ); loop(i, 0, outer - 1); ( 0 p(i); );
TFigures Expand(int32_t outer) {
  auto* args = new TConstExpr(1);
  AppendToList(args, new TConstExpr(144));
  AppendToList(args, new TVarExpr(new TId("j")));
  AppendToList(args, new TConstExpr(100));
  auto* out = new TAction(
      new TBinaryExpr(boPlus, new TBinaryExpr(boMult, new TVarExpr(new TId("k")), new TConstExpr(1000)),
                      new TVarExpr(new TId("j"))),
      std::string("out"), args);
  auto* p = new TProcDef(std::string("p"), new TId("k"),
                         new TLoopDef(new TId("j"), new TConstExpr(0), new TConstExpr(999), nullptr, out));
  AppendToList(p, new TLoopDef(new TId("i"), new TConstExpr(0), new TConstExpr(outer - 1), nullptr,
                               new TAction(new TConstExpr(0), std::string("p"), new TVarExpr(new TId("i")))));
  TTambrel root("bench.tmb", p);
  TFigures f;
  if (!root.Resolve()) return f;
  const long before = ResidentKb();
  TExpansion expansion(*root.Batch);
  const auto start = std::chrono::steady_clock::now();
  root.Expand(0, expansion);
  expansion.Flush();
  const double seconds = SecondsSince(start);
  f.Items = expansion.ItemCount;
  f.ItemsPerSecond = static_cast<double>(f.Items) / seconds;
  f.BytesPerItem = static_cast<double>(ResidentKb() - before) * 1024.0 / static_cast<double>(f.Items);
  return f;
}

// The same items, made with CreateFromValues and appended a thousand at a time, without a tree.
TFigures ItemsAlone(int32_t outer) {
  TTimedBatch batch;
  TFigures f;
  const long before = ResidentKb();
  int32_t values[3] = {144, 0, 100};
  std::vector<TTimed*> chunk;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t k = 0; k < outer; ++k) {
    for (int32_t j = 0; j < 1000; ++j) {
      values[1] = j;
      chunk.push_back(
          TTimedData::CreateFromValues(static_cast<uint32_t>(k * 1000 + j), 1, 3, values).release());
    }
    batch.AppendMany(chunk);
    chunk.clear();
  }
  const double seconds = SecondsSince(start);
  f.Items = static_cast<long long>(outer) * 1000;
  f.ItemsPerSecond = static_cast<double>(f.Items) / seconds;
  f.BytesPerItem = static_cast<double>(ResidentKb() - before) * 1024.0 / static_cast<double>(f.Items);
  return f;
}

TFigures Median(TFigures (*measure)(int32_t), int32_t outer) {
  std::vector<TFigures> runs;
  for (int run = 0; run < 3; ++run)
    runs.push_back(bench::InChildProcess<TFigures>([measure, outer] { return measure(outer); }));
  std::sort(runs.begin(), runs.end(),
            [](const TFigures& a, const TFigures& b) { return a.ItemsPerSecond < b.ItemsPerSecond; });
  return runs[1];
}

}  // namespace

int main(int, char** argv) {
  // The programs run on the huge-page heap; so are they measured.
  tambrel::UseHugePageHeap(argv);
  std::printf("heap: GLIBC_TUNABLES=%s\n", tambrel::StartTunables().value_or("(unset)").c_str());
  for (const int32_t outer : {1000, 10000}) {
    const TFigures expanded = Median(Expand, outer);
    const TFigures alone = Median(ItemsAlone, outer);
    std::printf(
        "%lld items: %.1f million items/s by Expand (target >= 5), %.1f resident bytes per item; "
        "items alone: %.1f million items/s, %.1f bytes per item (median of 3 cold runs)\n",
        expanded.Items, expanded.ItemsPerSecond / 1e6, expanded.BytesPerItem, alone.ItemsPerSecond / 1e6,
        alone.BytesPerItem);
  }
  return 0;
}
