#include "cli/cli_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <thread>

#include "cli/cli_play.h"
#include "cli/midi_file_writer.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

// How the fake front end and compiler treat one script file.
struct TScriptBehaviour {
  std::vector<std::string> FrontEndLines;
  int32_t SyntaxErrors = 0;
  std::vector<std::string> CompileErrors;
  bool CompileThrows = false;
  std::string DumpText;
};

TScriptBehaviour WithSyntaxErrors(std::vector<std::string> lines, int32_t count) {
  TScriptBehaviour behaviour;
  behaviour.FrontEndLines = std::move(lines);
  behaviour.SyntaxErrors = count;
  return behaviour;
}

TScriptBehaviour WithCompileErrors(std::vector<std::string> errors) {
  TScriptBehaviour behaviour;
  behaviour.CompileErrors = std::move(errors);
  return behaviour;
}

class TFakeTambrel : public TParsedTambrel {
 public:
  explicit TFakeTambrel(const TScriptBehaviour& behaviour) : Behaviour(behaviour) {}
  void SetOnError(std::function<void(const std::string&)> onError) override { OnError = std::move(onError); }
  int32_t Compile(TPlayer*, const std::string& dumpFileName) override {
    for (const std::string& error : Behaviour.CompileErrors) OnError(error);
    if (Behaviour.CompileThrows) throw std::overflow_error("Integer overflow");
    if (!dumpFileName.empty()) std::ofstream(dumpFileName, std::ios::binary) << Behaviour.DumpText;
    return Behaviour.CompileErrors.empty() ? 0 : 1;
  }
  std::string Name() const override { return "fake"; }

 private:
  TScriptBehaviour Behaviour;
  std::function<void(const std::string&)> OnError;
};

class TFakeFrontEnd : public TFrontEnd {
 public:
  std::map<std::string, TScriptBehaviour> Scripts;
  void OpenSource(const std::string& path) override { Current = Scripts.at(path); }
  void SetTraceOn(bool) override {}
  void ResetInput() override { Lines.clear(); }
  void ClearParseResult() override {}
  int Parse() override {
    Lines = Current.FrontEndLines;
    return Current.SyntaxErrors == 0 ? 0 : 1;
  }
  int32_t ErrorCount() const override { return Current.SyntaxErrors; }
  const std::vector<std::string>& Messages() const override { return Lines; }
  std::unique_ptr<TParsedTambrel> TakeParseResult() override {
    return std::make_unique<TFakeTambrel>(Current);
  }

 private:
  TScriptBehaviour Current;
  std::vector<std::string> Lines;
};

struct TPortLog {
  std::mutex Lock;
  std::vector<std::string> Events;  // guarded by Lock
  void Add(const std::string& text) {
    std::lock_guard<std::mutex> guard(Lock);
    Events.push_back(text);
  }
};

class TFakePort : public TOutputPort {
 public:
  TFakePort(TPortLog& log, int id, std::string failingName)
      : Log(log), Id(id), FailingName(std::move(failingName)) {}
  void SetProductName(const std::string& name) override { Name = name; }
  bool Open() override {
    if (Name == FailingName) throw std::runtime_error("The device is busy");
    Log.Add(StrId() + " open " + Name);
    return true;
  }
  bool Close() override {
    Log.Add(StrId() + " close");
    return true;
  }
  TSendOutcome PutLong(const uint8_t* data, uint16_t length) override {
    std::string text = StrId() + " send";
    for (uint16_t i = 0; i < length; ++i) text += " " + std::to_string(data[i]);
    Log.Add(text);
    return {true, {}};
  }
  void ReleaseHeldNotes() override { Log.Add(StrId() + " release"); }

 private:
  std::string StrId() const { return "port" + std::to_string(Id); }
  TPortLog& Log;
  int Id;
  std::string FailingName;
  std::string Name;
};

// Plays its items on a thread of its own, then one end marker per name; with repeat it interrupts
// the process after the first pass, as a user's Ctrl+C would.
class TFakeTimeline : public TTimeline {
 public:
  std::vector<TExportItem> Items;
  std::vector<std::string> Ends;
  std::vector<std::string> Dump{"TimedBatch", "Begin", "End"};
  bool InterruptAfterPass = false;
  bool RefuseRepeat = false;

  TPlayer* Player() override { return nullptr; }
  void AddLoaded(std::unique_ptr<TParsedTambrel>) override {}
  std::vector<std::string> DumpLines() override { return Dump; }
  std::vector<TExportItem> DataItems(uint32_t& endTime) override {
    endTime = 40;
    return Items;
  }
  bool Start(bool repeat) override {
    if (repeat && RefuseRepeat) return false;
    Thread = std::thread([this] {
      for (const TExportItem& item : Items) {
        TRoutedItem routed;
        routed.Time = item.Time;
        routed.Device = item.Device;
        routed.Data = item.Bytes;
        routed.DumpLine = [&item] { return "item " + std::to_string(item.Time); };
        OnData(routed);
      }
      for (const std::string& name : Ends) OnEnd(name);
      if (InterruptAfterPass) ::kill(::getpid(), SIGINT);
    });
    return true;
  }
  void Stop() override {
    if (Thread.joinable()) Thread.join();
  }
  ~TFakeTimeline() override { Stop(); }

 private:
  std::thread Thread;
};

class TFakeSession : public TCliSession {
 public:
  TFakeFrontEnd Front;
  TPortLog Log;
  std::vector<std::string> Names{"Tambrel", "Synth:Synth MIDI 1 128:0"};
  std::string FailingName = "none";
  std::function<void(TFakeTimeline&)> SetUpTimeline;
  int PortsMade = 0;

  TFrontEnd& FrontEnd() override { return Front; }
  std::unique_ptr<TTimeline> NewTimeline() override {
    auto timeline = std::make_unique<TFakeTimeline>();
    if (SetUpTimeline) SetUpTimeline(*timeline);
    return timeline;
  }
  std::vector<std::string> PortNames() override { return Names; }
  std::unique_ptr<TOutputPort> NewPort(int) override {
    return std::make_unique<TFakePort>(Log, ++PortsMade, FailingName);
  }
};

// Captures what a command writes to its two streams.
class TCapture {
 public:
  TCapture() : Out(std::tmpfile()), Err(std::tmpfile()) {}
  ~TCapture() {
    std::fclose(Out);
    std::fclose(Err);
  }
  TCliStreams Streams() const { return {Out, Err, false}; }
  static std::string Read(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    return text;
  }
  std::string OutText() const { return Read(Out); }
  std::string ErrText() const { return Read(Err); }
  std::FILE* Out;
  std::FILE* Err;
};

class CliRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tambrel-cli-runner-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Script(const std::string& name, TScriptBehaviour behaviour) {
    const std::string path = (Dir / name).string();
    std::ofstream(path) << "x";
    Session.Front.Scripts[path] = std::move(behaviour);
    return path;
  }
  int Run(const std::vector<std::string>& args) { return RunCli(args, Session, Capture.Streams()); }

  fs::path Dir;
  TFakeSession Session;
  TCapture Capture;
};

TEST_F(CliRunnerTest, CheckPrintsThePipelineLinesAndMapsTheOutcomeToTheExitStatus) {
  const std::string clean = Script("clean.tmb", {});
  EXPECT_EQ(Run({"check", clean}), ExitSuccess);
  EXPECT_EQ(Capture.OutText(), "Syntax OK.\nCompilation OK.\n");
  EXPECT_EQ(Capture.ErrText(), "");

  TCapture syntax;
  const std::string bad = Script(
      "bad.tmb", WithSyntaxErrors({"[1,5] in file \"bad.tmb\": \"syntax error\"", "x := ;", "    ^"}, 1));
  EXPECT_EQ(RunCli({"check", bad}, Session, syntax.Streams()), ExitScriptErrors);
  EXPECT_EQ(syntax.OutText(),
            "[1,5] in file \"bad.tmb\": \"syntax error\"\nx := ;\n    ^\n1 syntax error detected.\n");

  TCapture compile;
  const std::string wrong =
      Script("wrong.tmb", WithCompileErrors({"[2,3] in file \"wrong.tmb\": \"Unknown name\""}));
  EXPECT_EQ(RunCli({"check", wrong}, Session, compile.Streams()), ExitScriptErrors);
  EXPECT_EQ(compile.OutText(),
            "Syntax OK.\n[2,3] in file \"wrong.tmb\": \"Unknown name\"\nCompilation error(s) encountered.\n");
}

TEST_F(CliRunnerTest, CheckReportsMissingFilesAndCompilerFaults) {
  const std::string missing = (Dir / "nothing.tmb").string();
  EXPECT_EQ(Run({"check", missing}), ExitUsageOrFile);
  EXPECT_EQ(Capture.OutText(), "File \"" + missing + "\" not found\n");

  TCapture fault;
  TScriptBehaviour overflow;
  overflow.CompileThrows = true;
  const std::string path = Script("big.tmb", overflow);
  EXPECT_EQ(RunCli({"check", path}, Session, fault.Streams()), ExitScriptErrors);
  EXPECT_EQ(fault.OutText(), "Syntax OK.\n");
  EXPECT_EQ(fault.ErrText(), "tambrel-cli: Integer overflow\n");
}

TEST_F(CliRunnerTest, UsageErrorsAndHelp) {
  EXPECT_EQ(Run({"frobnicate"}), ExitUsageOrFile);
  EXPECT_NE(Capture.ErrText().find("Unknown command \"frobnicate\""), std::string::npos);
  TCapture help;
  EXPECT_EQ(RunCli({"--help"}, Session, help.Streams()), ExitSuccess);
  EXPECT_EQ(help.OutText(), CliHelpText());
}

TEST_F(CliRunnerTest, DumpWritesTheDumpBytesAlsoWhenResolutionFails) {
  TScriptBehaviour failing;
  failing.CompileErrors = {"[1,1] in file \"d.tmb\": \"Unknown name\""};
  failing.DumpText = "TTambrel( d)\r\n| constant = 3\r\n";
  const std::string path = Script("d.tmb", failing);
  EXPECT_EQ(Run({"dump", path}), ExitScriptErrors);
  EXPECT_EQ(Capture.OutText(), failing.DumpText);
  EXPECT_EQ(Capture.ErrText(),
            "Syntax OK.\n" + failing.CompileErrors[0] + "\nCompilation error(s) encountered.\n");
}

TEST_F(CliRunnerTest, ItemsListsTheBatchOnStandardOutputAndFailsForAnyBadFile) {
  const std::string one = Script("one.tmb", {});
  const std::string two =
      Script("two.tmb", WithSyntaxErrors({"[1,1] in file \"two.tmb\": \"syntax error\"", "?", "^"}, 1));
  EXPECT_EQ(Run({"items", one, two}), ExitScriptErrors);
  EXPECT_EQ(Capture.OutText(), "TimedBatch\nBegin\nEnd\n");
  EXPECT_EQ(Capture.ErrText(),
            "Syntax OK.\nCompilation OK.\n[1,1] in file \"two.tmb\": \"syntax error\"\n?\n^\n1 syntax error "
            "detected.\n");
}

TEST_F(CliRunnerTest, ExportWritesAMidiFileOnlyWhenEveryFileLoaded) {
  const std::string one = Script("one.tmb", {});
  Session.SetUpTimeline = [](TFakeTimeline& timeline) { timeline.Items = {{10, 1, {0x90, 60, 100}}}; };
  const std::string out = (Dir / "out.mid").string();
  EXPECT_EQ(Run({"export", one, "-o", out}), ExitSuccess);
  std::FILE* file = std::fopen(out.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  const std::string bytes = TCapture::Read(file);
  std::fclose(file);
  const std::vector<uint8_t> expected = BuildMidiFile({{10, 1, {0x90, 60, 100}}}, 40);
  EXPECT_EQ(bytes, std::string(expected.begin(), expected.end()));

  const std::string missing = (Dir / "missing.tmb").string();
  const std::string other = (Dir / "other.mid").string();
  TCapture failed;
  EXPECT_EQ(RunCli({"export", one, missing, "-o", other}, Session, failed.Streams()), ExitUsageOrFile);
  EXPECT_FALSE(fs::exists(other));

  TCapture unwritable;
  EXPECT_EQ(RunCli({"export", one, "-o", (Dir / "no/such/dir.mid").string()}, Session, unwritable.Streams()),
            ExitUsageOrFile);
  EXPECT_NE(unwritable.ErrText().find("dir.mid"), std::string::npos);
}

TEST_F(CliRunnerTest, PortsListsTheMapperEntryFirst) {
  EXPECT_EQ(Run({"ports"}), ExitSuccess);
  EXPECT_EQ(Capture.OutText(), "Tambrel\nSynth:Synth MIDI 1 128:0\n");
}

TEST_F(CliRunnerTest, PlayRoutesByDeviceTracesInOrderAndClosesEveryOutput) {
  const std::string one = Script("one.tmb", {});
  Session.SetUpTimeline = [](TFakeTimeline& timeline) {
    timeline.Items = {{0, 1, {0x90, 60, 100}}, {5, 2, {0xC0, 3}}, {9, 7, {0xF8}}};
    timeline.Ends = {"one"};
  };
  EXPECT_EQ(Run({"play", one, "--out", "2=Synth:Synth MIDI 1 128:0", "--map", "2=2", "--out", "1=Tambrel",
                 "--trace"}),
            ExitSuccess);
  EXPECT_EQ(Capture.OutText(), "item 0\nitem 5\nitem 9\nTambrel one finished\n");
  EXPECT_EQ(
      Session.Log.Events,
      (std::vector<std::string>{"port1 open Tambrel", "port2 open Synth:Synth MIDI 1 128:0",
                                "port1 send 144 60 100", "port2 send 192 3", "port1 close", "port2 close"}));
}

TEST_F(CliRunnerTest, PlayWithoutOutOpensTheVirtualPortOnOutputOne) {
  const std::string one = Script("one.tmb", {});
  const std::string two = Script("two.tmb", {});
  Session.SetUpTimeline = [](TFakeTimeline& timeline) {
    timeline.Items = {{0, 1, {0x80, 60, 0}}};
    timeline.Ends = {"one", "two"};
  };
  EXPECT_EQ(Run({"play", one, two}), ExitSuccess);
  EXPECT_EQ(Capture.OutText(), "");
  EXPECT_EQ(Session.Log.Events,
            (std::vector<std::string>{"port1 open Tambrel", "port1 send 128 60 0", "port1 close"}));
}

TEST_F(CliRunnerTest, PlayRefusesUnknownAndFailingPorts) {
  const std::string one = Script("one.tmb", {});
  EXPECT_EQ(Run({"play", one, "--out", "1=synth:synth midi 1 128:0"}), ExitUsageOrFile);
  EXPECT_NE(Capture.ErrText().find("unknown MIDI port \"synth:synth midi 1 128:0\""), std::string::npos);

  Session.FailingName = "Synth:Synth MIDI 1 128:0";
  TCapture failing;
  EXPECT_EQ(RunCli({"play", one, "--out", "1=Tambrel", "--out", "3=Synth:Synth MIDI 1 128:0"}, Session,
                   failing.Streams()),
            ExitUsageOrFile);
  EXPECT_NE(failing.ErrText().find("output 3: cannot open \"Synth:Synth MIDI 1 128:0\": The device is busy"),
            std::string::npos);
  // Output 1 had opened already; it is closed again before the tool leaves.
  EXPECT_EQ(Session.Log.Events.back(), "port1 close");
}

TEST_F(CliRunnerTest, PlayEndsOnInterrupt) {
  const std::string one = Script("one.tmb", {});
  Session.SetUpTimeline = [](TFakeTimeline& timeline) {
    timeline.Items = {{0, 1, {0x90, 60, 1}}};
    timeline.InterruptAfterPass = true;
  };
  EXPECT_EQ(Run({"play", one, "--repeat"}), ExitSuccess);
  TCapture second;
  EXPECT_EQ(RunCli({"play", one}, Session, second.Streams()), ExitInterrupted);

  // A player that refuses to repeat would never end on its own: the tool says so and leaves.
  Session.SetUpTimeline = [](TFakeTimeline& timeline) { timeline.RefuseRepeat = true; };
  TCapture refused;
  EXPECT_EQ(RunCli({"play", one, "--repeat"}, Session, refused.Streams()), ExitScriptErrors);
  EXPECT_NE(refused.ErrText().find("fewer than two items"), std::string::npos);
  // The third run made ports 9 to 12.
  EXPECT_EQ(Session.Log.Events.back(), "port9 close");
}

}  // namespace
}  // namespace tambrel
