// libFuzzer target for the whole road from a Tambrel file to the player: the input bytes are the main
// file, parsed as the compile command parses it, compiled with small caps into a player on a simulated
// clock, dumped, played for a few simulated seconds and unloaded again.
//
// Includes are confined to a private temporary folder holding a few small files (one of them includes
// itself), so that no input can reach a file outside it.

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <sstream>
#include <string>

#include "compiler/tambrel.h"
#include "player/play_clock.h"
#include "player/player.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"
#include "temp_folder.h"

namespace {

using namespace tambrel;

// Small enough that no input keeps one run busy for long, large enough for the examples.
constexpr int64_t FuzzMaxItems = 10000;
constexpr int32_t FuzzMaxCallDepth = 16;
constexpr int64_t FuzzMaxSteps = 1000000;
constexpr int64_t PlayForUs = 5'000'000;

struct TFuzzFolder : TTempFolder {
  const std::string Source = Root / "input.tmb";
  const std::string Dump = Root / "dump.txt";

  TFuzzFolder() {
    Write("Include/notes.tmb",
          "// a procedure and a constant for the including file\n"
          "const step = 0.25;\n"
          "note(n, v);\n(\n  0 out(1, $90, n, v);\n  step out(1, $80, n, 0);\n);\n");
    Write("Include/twice.tmb", "include notes;\ninclude notes;\nconst twice = 2;\n");
    Write("Include/self.tmb", "include self;\n0 out(2, $F8);\n");
    static const char withNul[] = "0 out(3, 1);\0 this is never read\n";
    Write("Include/nul.tmb", std::string(withNul, sizeof withNul - 1));
    SetIncludeDirectory((Root / "Include").string() + "/");
  }
};

TFuzzFolder& Folder() {
  static TFuzzFolder folder;
  return folder;
}

std::unique_ptr<TTambrel> Parse(const std::string& path) {
  OpenSource(path);
  ResetInput();
  ClearParseResult();
  try {
    ParseCurrentSource();
  } catch (const std::exception&) {
    // Fatal scanner errors, range errors of literals: the parse is over, the input idle again.
  }
  // Whatever ended the parse, nothing of the file may be left for the next one.
  if (FileStackDepth() != 0) std::abort();
  return TakeParseResult();
}

void CompileAndPlay(TTambrel& root) {
  uint64_t delivered = 0;  // outlives the player, whose callbacks count into it
  auto owned = std::make_unique<TSimulatedPlayClock>();
  TSimulatedPlayClock* clock = owned.get();
  TPlayer player(std::move(owned));
  player.OnData = [&delivered](TPlayer&, const TTimedData& d) { delivered += d.Count(); };
  player.OnEnd = [&delivered](TPlayer&, const TEndMarker&) { ++delivered; };
  root.MaxItems = FuzzMaxItems;
  root.MaxCallDepth = FuzzMaxCallDepth;
  root.MaxSteps = FuzzMaxSteps;
  std::string errors;
  root.OnError = [&errors](TDefinition*, const std::string& text) { errors += text; };
  int32_t result = 1;
  try {
    result = root.Compile(&player, Folder().Dump);
  } catch (const std::exception&) {
    // Overflow, range errors and the item and step caps end a compile; the tree is still there to dump.
    try {
      root.WriteDump(Folder().Dump);
    } catch (const std::exception&) {
    }
  }
  if (result == 0) {
    if (player.ItemCount() != root.Batch->Count()) std::abort();
    player.Restart();
    player.SetEnabled(true);
    clock->AdvanceBy(PlayForUs);
    player.SetEnabled(false);
  }
  std::ostringstream tree;
  root.DumpList(tree, 0);
  root.ClearBatch();
  if (player.ItemCount() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzFolder& folder = Folder();
  folder.Write("input.tmb", std::string(reinterpret_cast<const char*>(data), size));
  // One length in four parses with the trace on, so that its lines are exercised too; mutations reach
  // both. Not more: a traced parse writes some thirty lines per statement and runs several times slower.
  SetTraceOn(size % 4 == 1);
  std::unique_ptr<TTambrel> root = Parse(folder.Source);
  SetTraceOn(false);
  if (root) CompileAndPlay(*root);
  root.reset();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Made before the first input; it goes when the run ends normally, a crash leaves it behind.
  Folder();
  return 0;
}
