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

class CompilePipelineTest : public ::testing::Test {
 protected:
  CompilePipelineTest() : Pipeline(FrontEnd, Sink) {
    Source = testing::TempDir() + "/pipeline_source.tmb";
    std::ofstream(Source) << "0 out(1, 2);\n";
    Pipeline.OnLoaded = [this](std::unique_ptr<TParsedTambrel> tambrel) {
      Loaded.push_back(std::move(tambrel));
    };
  }
  ~CompilePipelineTest() override { std::filesystem::remove(Source); }
  void Parsed(int32_t result, std::vector<std::string> errors = {}, bool throws = false) {
    FrontEnd.Result = std::make_unique<TFakeTambrel>(Record, result, std::move(errors), throws);
  }
  TPlayer* SomePlayer() { return reinterpret_cast<TPlayer*>(&PlayerStandIn); }

  TFakeFrontEnd FrontEnd;
  TCollectingMessageSink Sink;
  TCompilePipeline Pipeline;
  TCompileRecord Record;
  std::string Source;
  std::vector<std::unique_ptr<TParsedTambrel>> Loaded;
  int PlayerStandIn = 0;
};

TEST_F(CompilePipelineTest, CleanScriptIntoAPlayerIsHandedOver) {
  Parsed(0);
  FrontEnd.Lines = {"state 0, char 1, '------'"};
  Pipeline.Settings.ParserDebug = true;
  Pipeline.Settings.DumpFileName = "/x/dump.txt";
  int pumps = 0;
  Pipeline.Settings.ProcessEvents = [&] { ++pumps; };
  EXPECT_TRUE(Pipeline.CompileFile(Source, SomePlayer()));
  EXPECT_EQ(FrontEnd.Calls,
            (std::vector<std::string>{"open " + Source, "trace on", "reset", "clear", "parse"}));
  EXPECT_EQ(Sink.Lines,
            (std::vector<std::string>{"state 0, char 1, '------'", "Syntax OK.", "Compilation OK."}));
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(Record.Player, SomePlayer());
  EXPECT_EQ(Record.DumpFileName, "/x/dump.txt");
  ASSERT_EQ(Loaded.size(), 1u);
  EXPECT_FALSE(Record.Destroyed);
}

TEST_F(CompilePipelineTest, WithoutAPlayerTheTambrelIsDestroyed) {
  Parsed(0);
  EXPECT_TRUE(Pipeline.CompileFile(Source, nullptr));
  EXPECT_TRUE(Record.Destroyed);
  EXPECT_TRUE(Loaded.empty());
  EXPECT_EQ(FrontEnd.Calls[1], "trace off");
}

TEST_F(CompilePipelineTest, MissingFileIsReportedWithoutParsing) {
  EXPECT_FALSE(Pipeline.CompileFile("/no/such/file.tmb", nullptr));
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"File \"/no/such/file.tmb\" not found"}));
  EXPECT_TRUE(FrontEnd.Calls.empty());
  EXPECT_FALSE(Pipeline.CompileFile(testing::TempDir(), nullptr));  // a directory is no source file
}

TEST_F(CompilePipelineTest, SyntaxErrorCountLines) {
  FrontEnd.Lines = {"[1,5] in file \"a.tmb\": \"syntax error\"", "foo bar", "    ^"};
  FrontEnd.Count = 1;
  Parsed(0);
  EXPECT_FALSE(Pipeline.Compile(nullptr));
  EXPECT_TRUE(Record.Destroyed);  // a tree built despite errors goes
  EXPECT_EQ(Sink.Lines.back(), "1 syntax error detected.");
  EXPECT_EQ(Sink.Lines.size(), 4u);

  Sink.Lines.clear();
  FrontEnd.Lines.clear();
  FrontEnd.Count = 2;
  EXPECT_FALSE(Pipeline.Compile(nullptr));
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"2 syntax errors detected."}));

  // An aborted parse without a counted error still fails, with the plural form for 0.
  Sink.Lines.clear();
  FrontEnd.Count = 0;
  FrontEnd.ParseReturn = 1;
  EXPECT_FALSE(Pipeline.Compile(nullptr));
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"0 syntax errors detected."}));
}

TEST_F(CompilePipelineTest, FaultInsideTheParserCountsAsFailure) {
  FrontEnd.ParseThrows = true;
  FrontEnd.Count = 1;
  FrontEnd.Lines = {"collected so far"};
  Parsed(0);
  EXPECT_FALSE(Pipeline.Compile(nullptr));
  EXPECT_TRUE(Record.Destroyed);
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"collected so far", "1 syntax error detected."}));
}

TEST_F(CompilePipelineTest, CompileErrorsAreWrittenThenSummarised) {
  Parsed(1, {"[2,3] in file \"a.tmb\": \"Undefined 'x'\"", "Could not resolve all references."});
  EXPECT_FALSE(Pipeline.Compile(SomePlayer()));
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"Syntax OK.", "[2,3] in file \"a.tmb\": \"Undefined 'x'\"",
                                                  "Could not resolve all references.",
                                                  "Compilation error(s) encountered."}));
  EXPECT_TRUE(Record.Destroyed);
  EXPECT_TRUE(Loaded.empty());
}

TEST_F(CompilePipelineTest, CompilerFaultLeavesAfterDestroyingTheTambrel) {
  Parsed(0, {}, true);
  EXPECT_THROW(Pipeline.Compile(SomePlayer()), std::overflow_error);
  EXPECT_TRUE(Record.Destroyed);
  EXPECT_EQ(Sink.Lines, (std::vector<std::string>{"Syntax OK."}));
}

}  // namespace
}  // namespace tambrel
