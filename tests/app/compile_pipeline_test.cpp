#include "app/compile_pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// One pipeline with its fakes; the record outlives the fake Tambrel.
struct TPipelineRig {
  TPipelineRig() {
    Pipeline.OnLoaded = [this](std::unique_ptr<TParsedTambrel> tambrel) {
      Loaded.push_back(std::move(tambrel));
    };
  }
  void Parsed() { FrontEnd.Result = std::make_unique<TFakeTambrel>(Record); }
  TFakeFrontEnd FrontEnd;
  TCollectingMessageSink Sink;
  TCompilePipeline Pipeline{FrontEnd, Sink};
  TCompileRecord Record;
  std::vector<std::unique_ptr<TParsedTambrel>> Loaded;
};

TEST(CompilePipelineTest, CleanScriptIntoAPlayerIsHandedOver) {
  TPipelineRig rig;
  const std::string source = testing::TempDir() + "/pipeline_source.tmb";
  std::ofstream(source) << "0 out(1, 2);\n";
  rig.Parsed();
  rig.FrontEnd.Lines = {"state 0, char 1, '------'"};
  rig.Pipeline.Settings.ParserDebug = true;
  rig.Pipeline.Settings.DumpFileName = "/x/dump.txt";
  int pumps = 0;
  rig.Pipeline.Settings.ProcessEvents = [&] { ++pumps; };
  int playerStandIn = 0;
  TPlayer* player = reinterpret_cast<TPlayer*>(&playerStandIn);
  EXPECT_TRUE(rig.Pipeline.CompileFile(source, player));
  std::filesystem::remove(source);
  EXPECT_EQ(rig.FrontEnd.Calls,
            (std::vector<std::string>{"open " + source, "trace on", "reset", "clear", "parse"}));
  EXPECT_EQ(rig.Sink.Lines,
            (std::vector<std::string>{"state 0, char 1, '------'", "Syntax OK.", "Compilation OK."}));
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(rig.Record.Player, player);
  EXPECT_EQ(rig.Record.DumpFileName, "/x/dump.txt");
  EXPECT_EQ(rig.Loaded.size(), 1u);
  EXPECT_FALSE(rig.Record.Destroyed);
}

// A failed parse writes the front end's lines and the count, and destroys a tree built despite the
// errors; so does a fault inside the parser.
TEST(CompilePipelineTest, FailedParsesWriteTheirLinesAndTheCount) {
  struct TCase {
    std::vector<std::string> FrontLines;
    int32_t ErrorCount;
    int ParseReturn;
    bool ParseThrows;
    std::vector<std::string> Lines;
  };
  const std::string syntax = "[1,5] in file \"a.tmb\": \"syntax error\"";
  const TCase cases[] = {
      {{syntax, "    ^"}, 1, 0, false, {syntax, "    ^", "1 syntax error detected."}},
      {{}, 0, 1, false, {"0 syntax errors detected."}},
      {{"collected so far"}, 1, 0, true, {"collected so far", "1 syntax error detected."}},
  };
  int playerStandIn = 0;
  for (const TCase& c : cases) {
    TPipelineRig rig;
    rig.FrontEnd.Lines = c.FrontLines;
    rig.FrontEnd.Count = c.ErrorCount;
    rig.FrontEnd.ParseReturn = c.ParseReturn;
    rig.FrontEnd.ParseThrows = c.ParseThrows;
    rig.Parsed();
    EXPECT_FALSE(rig.Pipeline.Compile(reinterpret_cast<TPlayer*>(&playerStandIn)));
    EXPECT_EQ(rig.Sink.Lines, c.Lines);
    EXPECT_TRUE(rig.Record.Destroyed);
    EXPECT_TRUE(rig.Loaded.empty());
  }
}

}  // namespace
}  // namespace tambrel
