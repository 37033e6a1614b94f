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
