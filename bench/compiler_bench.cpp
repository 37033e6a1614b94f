// Items per second of Expand and resident bytes per generated item, for a tree of nested loops and
// calls with parameters.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include "compiler/expansion.h"
#include "compiler/loop.h"
#include "compiler/tambrel.h"

using namespace tambrel;

static long ResidentKb() {
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

static void Run(int32_t outer) {
    // p(k); ( loop(j, 0, 999); ( k * 1000 + j out(1, 144, j, 100); ); ); loop(i, 0, outer - 1); ( 0 p(i); );
    auto* args = new TConstExpr(1);
    AppendToList(args, new TConstExpr(144));
    AppendToList(args, new TVarExpr(new TId("j")));
    AppendToList(args, new TConstExpr(100));
    auto* out = new TAction(new TBinaryExpr(boPlus, new TBinaryExpr(boMult, new TVarExpr(new TId("k")),
                                                                    new TConstExpr(1000)),
                                            new TVarExpr(new TId("j"))),
                            std::string("out"), args);
    auto* p = new TProcDef(std::string("p"), new TId("k"),
                           new TLoopDef(new TId("j"), new TConstExpr(0), new TConstExpr(999), nullptr, out));
    AppendToList(p, new TLoopDef(new TId("i"), new TConstExpr(0), new TConstExpr(outer - 1), nullptr,
                                 new TAction(new TConstExpr(0), std::string("p"), new TVarExpr(new TId("i")))));
    TTambrel root("bench.tmb", p);
    if (!root.Resolve()) return;
    const long before = ResidentKb();
    TExpansion expansion(*root.Batch);
    const auto start = std::chrono::steady_clock::now();
    root.Expand(0, expansion);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long after = ResidentKb();
    std::printf("%lld items: %.1f million items/s by Expand, %.1f resident bytes per item\n",
                static_cast<long long>(expansion.ItemCount), expansion.ItemCount / seconds / 1e6,
                (after - before) * 1024.0 / static_cast<double>(expansion.ItemCount));
}

int main() {
    Run(1000);
    Run(10000);
    return 0;
}
