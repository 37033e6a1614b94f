#include "app/compile_pipeline.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tambrel {
namespace {

// What a fake Tambrel was asked to do, kept beyond its lifetime.
struct TCompileRecord {
  bool Destroyed = false;
  TPlayer* Player = nullptr;
  std::string DumpFileName;
};

class TFakeTambrel : public TParsedTambrel {
 public:
  explicit TFakeTambrel(TCompileRecord& record) : Record(record) {}
  ~TFakeTambrel() override { Record.Destroyed = true; }
  void SetOnError(std::function<void(const std::string&)>) override {}
  int32_t Compile(TPlayer* player, const std::string& dumpFileName) override {
    Record.Player = player;
    Record.DumpFileName = dumpFileName;
    return 0;
  }
  std::string Name() const override { return "song.tmb"; }

 private:
  TCompileRecord& Record;
};

class TFakeFrontEnd : public TFrontEnd {
 public:
  void OpenSource(const std::string& path) override { Calls.push_back("open " + path); }
  void SetTraceOn(bool on) override { Calls.push_back(on ? "trace on" : "trace off"); }
  void ResetInput() override { Calls.push_back("reset"); }
  void ClearParseResult() override { Calls.push_back("clear"); }
  int Parse() override {
    Calls.push_back("parse");
    if (ParseThrows) throw std::runtime_error("FATAL ERROR : 'yytext overflow'");
    return ParseReturn;
  }
  int32_t ErrorCount() const override { return Count; }
  const std::vector<std::string>& Messages() const override { return Lines; }
  std::unique_ptr<TParsedTambrel> TakeParseResult() override { return std::move(Result); }

  std::vector<std::string> Calls;
  int ParseReturn = 0;
  bool ParseThrows = false;
  int32_t Count = 0;
  std::vector<std::string> Lines;
  std::unique_ptr<TParsedTambrel> Result;
};

// A clean parse is compiled into the player and handed over. A failed one writes the front end's lines
// and the count, and destroys a tree built despite the errors; so does a fault inside the parser.
TEST(CompilePipelineTest, CleanParsesAreHandedOverFailedOnesWriteTheirLinesAndTheCount) {
  struct TCase {
    std::vector<std::string> FrontLines;
    int32_t ErrorCount;
    int ParseReturn;
    bool ParseThrows;
    std::vector<std::string> Lines;
  };
  const std::string trace = "state 0, char 1, '------'";  // the parser's, when asked for
  const std::string syntax = "[1,5] in file \"a.tmb\": \"syntax error\"";
  const TCase cases[] = {
      {{trace}, 0, 0, false, {trace, "Syntax OK.", "Compilation OK."}},
      {{syntax, "    ^"}, 1, 0, false, {syntax, "    ^", "1 syntax error detected."}},
      {{}, 0, 1, false, {"0 syntax errors detected."}},
      {{"collected so far"}, 1, 0, true, {"collected so far", "1 syntax error detected."}},
  };
  int playerStandIn = 0;
  TPlayer* player = reinterpret_cast<TPlayer*>(&playerStandIn);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Lines.back());
    const bool clean = c.Lines.back() == "Compilation OK.";
    TCompileRecord record;  // outlives the fake Tambrel
    TFakeFrontEnd frontEnd;
    frontEnd.Lines = c.FrontLines;
    frontEnd.Count = c.ErrorCount;
    frontEnd.ParseReturn = c.ParseReturn;
    frontEnd.ParseThrows = c.ParseThrows;
    frontEnd.Result = std::make_unique<TFakeTambrel>(record);
    TCollectingMessageSink sink;
    TCompilePipeline pipeline{frontEnd, sink};
    std::vector<std::unique_ptr<TParsedTambrel>> loaded;
    pipeline.OnLoaded = [&](std::unique_ptr<TParsedTambrel> tambrel) {
      loaded.push_back(std::move(tambrel));
    };
    pipeline.Settings.ParserDebug = true;
    pipeline.Settings.DumpFileName = "/x/dump.txt";
    int pumps = 0;
    pipeline.Settings.ProcessEvents = [&] { ++pumps; };
    EXPECT_EQ(pipeline.Compile(player), clean);
    EXPECT_EQ(frontEnd.Calls, (std::vector<std::string>{"trace on", "reset", "clear", "parse"}));
    EXPECT_EQ(sink.Lines, c.Lines);
    EXPECT_EQ(pumps, clean ? 1 : 0);
    EXPECT_EQ(record.Player, clean ? player : nullptr);
    EXPECT_EQ(record.DumpFileName, clean ? "/x/dump.txt" : "");
    EXPECT_EQ(record.Destroyed, !clean);
    EXPECT_EQ(loaded.size(), clean ? 1u : 0u);
  }
}

}  // namespace
}  // namespace tambrel
