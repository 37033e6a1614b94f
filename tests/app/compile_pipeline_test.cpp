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
  TFakeTambrel(TCompileRecord& record, int32_t result, std::vector<std::string> errors, bool throws)
      : Record(record), Result(result), Errors(std::move(errors)), Throws(throws) {}
  ~TFakeTambrel() override { Record.Destroyed = true; }
  void SetOnError(std::function<void(const std::string&)> onError) override { OnError = std::move(onError); }
  int32_t Compile(TPlayer* player, const std::string& dumpFileName) override {
    Record.Player = player;
    Record.DumpFileName = dumpFileName;
    for (const std::string& error : Errors) OnError(error);
    if (Throws) throw std::overflow_error("Integer overflow");
    return Result;
  }
  std::string Name() const override { return "song.tmb"; }

 private:
  TCompileRecord& Record;
  int32_t Result;
  std::vector<std::string> Errors;
  bool Throws;
  std::function<void(const std::string&)> OnError;
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
  void Parsed(int32_t result, std::vector<std::string> errors = {}, bool throws = false) {
    FrontEnd.Result = std::make_unique<TFakeTambrel>(Record, result, std::move(errors), throws);
  }
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
  rig.Parsed(0);
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

  // Neither a missing file nor a directory is parsed.
  for (const std::string& path : {std::string("/no/such/file.tmb"), testing::TempDir()}) {
    TPipelineRig missing;
    EXPECT_FALSE(missing.Pipeline.CompileFile(path, nullptr));
    EXPECT_EQ(missing.Sink.Lines, (std::vector<std::string>{"File \"" + path + "\" not found"}));
    EXPECT_TRUE(missing.FrontEnd.Calls.empty());
  }
}

// Every way a compile ends short of a player taking the Tambrel: the lines written, and the tree
// destroyed (also one built despite syntax errors).
TEST(CompilePipelineTest, EveryOtherOutcomeWritesItsLinesAndDestroysTheTambrel) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Lines;  // written by the pipeline
    std::vector<std::string> FrontLines = {};
    int32_t ErrorCount = 0;
    int ParseReturn = 0;
    bool ParseThrows = false;
    int32_t CompileResult = 0;
    std::vector<std::string> CompileErrors = {};
    bool CompileThrows = false;
  };
  const std::string syntax = "[1,5] in file \"a.tmb\": \"syntax error\"", undefined = "Undefined 'x'";
  const TCase cases[] = {
      {.Name = "clean without a player", .Lines = {"Syntax OK.", "Compilation OK."}},
      {.Name = "one", .Lines = {syntax, "1 syntax error detected."}, .FrontLines = {syntax}, .ErrorCount = 1},
      {.Name = "two", .Lines = {"2 syntax errors detected."}, .ErrorCount = 2},
      {.Name = "aborted", .Lines = {"0 syntax errors detected."}, .ParseReturn = 1},
      {.Name = "parser fault",
       .Lines = {"collected so far", "1 syntax error detected."},
       .FrontLines = {"collected so far"},
       .ErrorCount = 1,
       .ParseThrows = true},
      {.Name = "compile errors",
       .Lines = {"Syntax OK.", undefined, "Compilation error(s) encountered."},
       .CompileResult = 1,
       .CompileErrors = {undefined}},
      {.Name = "compiler fault", .Lines = {"Syntax OK."}, .CompileThrows = true},
  };
  int playerStandIn = 0;
  for (const TCase& c : cases) {
    TPipelineRig rig;
    rig.FrontEnd.Lines = c.FrontLines;
    rig.FrontEnd.Count = c.ErrorCount;
    rig.FrontEnd.ParseReturn = c.ParseReturn;
    rig.FrontEnd.ParseThrows = c.ParseThrows;
    rig.Parsed(c.CompileResult, c.CompileErrors, c.CompileThrows);
    TPlayer* player = &c == cases ? nullptr : reinterpret_cast<TPlayer*>(&playerStandIn);
    if (c.CompileThrows)
      EXPECT_THROW(rig.Pipeline.Compile(player), std::overflow_error);
    else
      EXPECT_EQ(rig.Pipeline.Compile(player), player == nullptr) << c.Name;
    EXPECT_EQ(rig.Sink.Lines, c.Lines) << c.Name;
    EXPECT_TRUE(rig.Record.Destroyed) << c.Name;
    EXPECT_TRUE(rig.Loaded.empty()) << c.Name;
    EXPECT_EQ(rig.FrontEnd.Calls.front(), "trace off") << c.Name;
  }
}

}  // namespace
}  // namespace tambrel
