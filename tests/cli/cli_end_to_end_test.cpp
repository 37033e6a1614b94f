// tambrel-cli through its real executable: the front end, the compiler, the player and the MIDI output
// as the program links them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "child_process.h"
#include "jack_fixture.h"
#include "jack_reader.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

const std::string Tool = std::string(TAMBREL_OUTPUT_DIR) + "/tambrel-cli";

class CliEndToEndTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) { return Folder.Write(name, text); }
  std::string Read(const std::string& name) const { return Folder.Read(name); }
  TChildResult Cli(std::vector<std::string> args, const TChildOptions& options = {}) const {
    args.insert(args.begin(), ToolPath);
    return RunChild(args, options);
  }
  // The tool started by the shell after the shell has run setUp (a limit, a redirection).
  TChildResult CliAfter(const std::string& setUp, std::vector<std::string> args) const {
    args.insert(args.begin(), {"/bin/sh", "-c", setUp + "\nexec \"$0\" \"$@\"", ToolPath});
    return RunChild(args);
  }
  TTempFolder Folder;
  const fs::path Dir = Folder.Root;
  std::string ToolPath = Tool;
};

const char* const LoopExample = "const step = 250;\nloop(i, 0, 3); ( i * step out(1, 144, 60 + i, 100); );\n";

// What check prints for a script: the caret lines of syntax errors, compile messages at their
// statements, and a fault that ends a compile as one more message where it arose. Control characters
// reach the terminal as question marks.
TEST_F(CliEndToEndTest, CheckReportsEachProblemWhereItArose) {
  struct TCase {
    const char* Script;  // none: the file is missing
    std::string Out;
    int Status;
    const char* Name = "f.tmb";
  };
  const std::string f = "] in file \"f.tmb\": ";
  const TCase cases[] = {
      {LoopExample, "Syntax OK.\nCompilation OK.\n", 0},
      {"0 out(1, 144, 60, 100);\n1 out(1 144);\n",
       "[2,11" + f + "\"syntax error\"\n1 out(1 144);\n          ^\n1 syntax error detected.\n", 1},
      // The action is stamped after its ")"; the root after the end of the input, at the idle position.
      {"0 out(1, 144);\n10 missing(1);\n",
       "Syntax OK.\n[2,13" + f + "\"Undefined 'missing'\"\n[0,0" + f +
           "\"Could not resolve all references.\"\nCompilation error(s) encountered.\n",
       1},
      {"loop(i, 2147483646, 2147483647); ( 0 out(1, 2); );\n",
       "Syntax OK.\n[1,49" + f + "\"Integer overflow\"\n", 1},
      {"const a = 5;\nconst k = 2147483647 +\n  1;\n", "Syntax OK.\n[3,4" + f + "\"Integer overflow\"\n", 1},
      {"p; ( 2000000000 out(1, 2); );\n200000000 p;\n", "Syntax OK.\n[1,25" + f + "\"Range check error\"\n",
       1},
      {"loop(i, 0, 2147483647);\n( 0 nop; );\n",
       "Syntax OK.\n[2,8" + f +
           "\"Too much work: one compile may expand at most 300000000 statements and loop passes\"\n",
       1},
      {"0 out(1 2); \033[2J\177\033]0;owned\007\t1\n",
       "[1,9] in file \"ctl?x.tmb\": \"syntax error\"\n0 out(1 2); ?[2J??]0;owned?\t1\n        ^\n"
       "1 syntax error detected.\n",
       1, "ctl\033x.tmb"},
      {nullptr, "File \"no?such.tmb\" not found\n", 2, "no\033such.tmb"},
  };
  for (const TCase& c : cases) {
    const TChildResult result = Cli({"check", c.Script ? Write(c.Name, c.Script) : c.Name});
    EXPECT_EQ(result.Out, c.Out);
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(result.ExitStatus, c.Status) << c.Out;
  }
}

TEST_F(CliEndToEndTest, UsageErrorsAndHelp) {
  const TChildResult usage = Cli({"check"});
  EXPECT_EQ(usage.ExitStatus, 2);
  EXPECT_NE(usage.Err.find("check takes exactly one file"), std::string::npos);

  const TChildResult help = Cli({"--help"});
  EXPECT_EQ(help.ExitStatus, 0);
  EXPECT_EQ(help.Out.rfind("Usage: tambrel-cli COMMAND", 0), 0u);
}

TEST_F(CliEndToEndTest, ItemsOfTwoFilesMergeInTimeAndLoadOrder) {
  const std::string first = Write("first.tmb", "0 out(1, 1);\n500 out(1, 2);\n");
  const std::string second = Write("second.tmb", "0 out(2, 3);\n500 out(1, 4);\n250 out(1, 5);\n");
  const TChildResult result = Cli({"items", first, second});
  EXPECT_EQ(result.Out,
            "TimedBatch\n"
            "Begin\n"
            "| 00000:00.000  00001 01\n"
            "| 00000:00.000  00002 03\n"
            "| 00000:00.250  00001 05\n"
            "| 00000:00.500  00001 02\n"
            "| 00000:00.500  End marker\n"
            "| 00000:00.500  00001 04\n"
            "| 00000:00.500  End marker\n"
            "End\n");
  EXPECT_EQ(result.Err, "Syntax OK.\nCompilation OK.\nSyntax OK.\nCompilation OK.\n");
  EXPECT_EQ(result.ExitStatus, 0);

  const TChildResult failing = Cli({"items", first, Write("broken.tmb", "0 out(1 2);\n")});
  EXPECT_EQ(failing.ExitStatus, 1);
  EXPECT_EQ(std::count(failing.Out.begin(), failing.Out.end(), '\n'), 6)
      << failing.Out;  // the first file's two items and marker
}

TEST_F(CliEndToEndTest, DumpOfTheDefinitionTreeExample) {
  const TChildResult result =
      Cli({"dump", Write("song.tmb", "const base = 100;\nbase + 20 out(0, 144, 60, 100);\n")});
  // The folded time stands in for its expression; the built-ins follow the script's statements.
  EXPECT_TRUE(
      result.Out.starts_with("TTambrel( song.tmb)\r\n| Definitions =\r\n| | TConstDef( base)\r\n"
                             "| | | constant = 100\r\n| | TAction( out)\r\n| | | constant = 120\r\n") &&
      result.Out.ends_with("| | TProcDef( Out)\r\n| | TProcDef( Nop)\r\n"))
      << result.Out;
  EXPECT_EQ(result.Err, "Syntax OK.\nCompilation OK.\n");
  EXPECT_EQ(result.ExitStatus, 0);

  // A failed resolution is dumped too, and the status is check's; a control character in the name is
  // shown as a question mark.
  const TChildResult failed = Cli({"dump", Write("lost\rx.tmb", "0 lost(1);\n")});
  EXPECT_EQ(failed.ExitStatus, 1);
  EXPECT_EQ(failed.Out.rfind("TTambrel( lost?x.tmb)\r\n", 0), 0u) << failed.Out;
}

TEST_F(CliEndToEndTest, ExportReadBackWithMidicsv) {
  const std::string script = Write("export.tmb",
                                   "0 out(1, 144, 60, 100);\n"
                                   "500 out(1, 128, 60, 0);\n"
                                   "250 out(2, 240, 67, 16, 247);\n"
                                   "300000000 out(2, 248);\n");
  const std::string midi = (Dir / "export.mid").string();
  const TChildResult result = Cli({"export", script, "-o", midi});
  ASSERT_EQ(result.ExitStatus, 0) << result.Err;
  const TChildResult csv = RunChild({"/usr/bin/midicsv", midi});
  EXPECT_EQ(csv.Out,
            "0, 0, Header, 1, 2, 500\n"
            "1, 0, Start_track\n"
            "1, 0, Title_t, \"Device 1\"\n"
            "1, 0, Tempo, 500000\n"
            "1, 0, Note_on_c, 0, 60, 100\n"
            "1, 500, Note_off_c, 0, 60, 0\n"
            "1, 268435955, Text_t, \"\"\n"  // a gap longer than a delta time holds
            "1, 300000000, End_track\n"
            "2, 0, Start_track\n"
            "2, 0, Title_t, \"Device 2\"\n"
            "2, 0, Tempo, 500000\n"
            "2, 250, System_exclusive, 3, 67, 16, 247\n"
            "2, 268435705, Text_t, \"\"\n"
            "2, 300000000, System_exclusive_packet, 1, 248\n"
            "2, 300000000, End_track\n"
            "0, 0, End_of_file\n");
}

// An export that cannot be written as asked leaves every file as it was, says why, and ends with 2.
TEST_F(CliEndToEndTest, ExportNeverDestroysAFile) {
  struct TCase {
    const char* SetUp;  // run by the shell before the tool
    const char* Args;   // of export, as the shell splits them
    const char* Error;
  };
  Write("song.tmb", "loop(i, 0, 999); ( i out(1, 144, 60, 100); );\n");
  Write("wide.tmb", "loop(i, 0, 65535); ( 0 out(i, 248); );\n");
  Write("old.mid", "an older export");
  fs::create_symlink("song.tmb", Dir / "link.mid");
  const TCase cases[] = {
      {"", "song.tmb -o song.tmb", "\"song.tmb\" is the input file \"song.tmb\""},
      {"", "song.tmb -o ./link.mid", "\"./link.mid\" is the input file \"song.tmb\""},
      {"ulimit -f 2", "song.tmb -o old.mid", "Cannot write file \"old.mid\": File too large"},
      {"", "song.tmb missing.tmb -o old.mid", "no MIDI file written"},
      {"", "song.tmb -o no/such/dir.mid", "Cannot create file \"no/such/dir.mid\""},
      {"", "wide.tmb -o old.mid", "at most 65535 tracks, one per device number: the timeline has 65536"},
  };
  for (const TCase& c : cases) {
    const TChildResult result =
        RunChild({"/bin/sh", "-c", "cd " + Dir.string() + "\n" + c.SetUp + "\nexec \"$0\" export " + c.Args,
                  ToolPath});
    EXPECT_EQ(result.ExitStatus, 2) << c.Args;
    EXPECT_NE(result.Err.find(c.Error), std::string::npos) << result.Err;
    EXPECT_TRUE(Read("song.tmb") == "loop(i, 0, 999); ( i out(1, 144, 60, 100); );\n");
    EXPECT_TRUE(Read("old.mid") == "an older export");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 4);
  }
}

// A listing that standard output does not take is an error, however far the command got.
TEST_F(CliEndToEndTest, OutputThatCannotBeWrittenIsAnError) {
  const std::string song = Write("song.tmb", LoopExample);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"items", song}, {"dump", song}, {"check", song}, {"--help"}}) {
    const TChildResult full = CliAfter("exec >/dev/full", args);
    EXPECT_EQ(full.ExitStatus, 2) << args[0];
    EXPECT_NE(full.Err.find("tambrel-cli: write error\n"), std::string::npos) << full.Err;
  }
  TChildOptions closed;
  closed.OutputPipeClosed = true;
  const TChildResult pipe = Cli({"items", song}, closed);
  EXPECT_EQ(pipe.Signal, 0);
  EXPECT_EQ(pipe.ExitStatus, 2);
  EXPECT_NE(pipe.Err.find("tambrel-cli: write error"), std::string::npos) << pipe.Err;
}

// A copy of the tool in the test's own folder, with its own Include/ beside it: the front end as a user
// of the tool meets it.
class FrontEndCliTest : public CliEndToEndTest {
 protected:
  void SetUp() override {
    fs::create_directories(Dir / "Include");
    ToolPath = (Dir / "tambrel-cli").string();
    fs::copy_file(Tool, ToolPath);
  }
  // As Cli, but where file permissions hold: as root, the tool runs as the user nobody.
  TChildResult CliAsUser(std::vector<std::string> args) const {
    if (::geteuid() != 0) return Cli(args);
    args.insert(args.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--", ToolPath});
    return RunChild(args);
  }
};

// The include folder is the one beside the tool; a window's debug file there is left as it is.
TEST_F(FrontEndCliTest, IncludesComeFromTheFolderBesideTheTool) {
  Write("Include/beat.tmb", "0 out(1, 153, 36, 100);\n");
  Write("debug.txt", "00000:00.000 Program start\n");
  const TChildResult result = Cli({"items", Write("uses.tmb", "include beat;\n10 out(1, 137, 36, 0);\n")});
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_NE(result.Out.find("| 00000:00.000  00001 99 24 64\n"), std::string::npos) << result.Out;
  EXPECT_EQ(Read("debug.txt"), "00000:00.000 Program start\n");
}

// Nothing blocks on a FIFO: as an include it is not found, as the main file it cannot be read.
TEST_F(FrontEndCliTest, FifoIsNoSourceFile) {
  ASSERT_EQ(::mkfifo((Dir / "Include/pipe.tmb").c_str(), 0600), 0);
  TChildOptions quick;
  quick.TimeoutMs = 20000;
  const TChildResult include = Cli({"check", Write("main.tmb", "include pipe;\n0 out(1, 2);\n")}, quick);
  EXPECT_EQ(include.Out, "Syntax OK.\n[1,12] in file \"main.tmb\": \"Include file \"" +
                             (Dir / "Include/pipe.tmb").string() +
                             "\" not found\"\n"
                             "[0,0] in file \"main.tmb\": \"Could not resolve all references.\"\n"
                             "Compilation error(s) encountered.\n");
  const TChildResult main = Cli({"check", (Dir / "Include/pipe.tmb").string()}, quick);
  EXPECT_EQ(main.Err, "tambrel-cli: Cannot read file \"" + (Dir / "Include/pipe.tmb").string() +
                          "\": not a regular file\n");
  EXPECT_EQ(main.ExitStatus, 2);
}

TEST_F(FrontEndCliTest, IncludeThatCannotBeReadIsASyntaxError) {
  const std::string locked = Write("Include/locked.tmb", "0 out(1, 2);\n");
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const TChildResult result = CliAsUser({"check", Write("main.tmb", "0 out(1, 1);\ninclude locked;\n")});
  EXPECT_EQ(result.Out,
            "[2,15] in file \"main.tmb\": \"include file locked.tmb not opened: Permission denied\"\n"
            "include locked;\n"
            "              ^\n"
            "1 syntax error detected.\n");
  EXPECT_EQ(result.ExitStatus, 1);
}

// The trace lines stand where the message area would show them: before the syntax summary, on the
// stream of the compile lines.
TEST_F(FrontEndCliTest, ParserTraceOfCheckItemsAndDump) {
  const std::string script = Write("nop.tmb", "0 nop;");
  const std::string traceStart = "state 0, char -1, '------'\nreduce 1\n<integer>\n";
  const std::string traceEnd = "reduce 2\nstate 2, char 0, '^@ NUL'\n\nSyntax OK.\nCompilation OK.\n";
  const TChildResult check = Cli({"check", "--parser-trace", script});
  EXPECT_TRUE(check.Out.starts_with(traceStart) && check.Out.ends_with(traceEnd)) << check.Out;
  for (const char* command : {"items", "dump"}) {
    const TChildResult result = Cli({command, script, "--parser-trace"});
    EXPECT_EQ(result.Err.rfind(traceStart, 0), 0u) << command << ": " << result.Err;
    EXPECT_EQ(result.Out.find("state 0"), std::string::npos) << command;
    EXPECT_EQ(result.ExitStatus, 0) << command;
  }
  EXPECT_EQ(Cli({"check", script}).Out, "Syntax OK.\nCompilation OK.\n");
  EXPECT_EQ(Cli({"play", script, "--parser-trace"}).ExitStatus, 2);
}

// The bytes the tool played, as a JACK client on the receiving side saw them.
class CliPlayJackTest : public CliEndToEndTest {
 protected:
  TChildOptions OnServer() const {
    TChildOptions options;
    options.ExtraEnvironment = Server.Environment();
    options.TimeoutMs = 30000;
    return options;
  }
  TJackServer Server;
};

TEST_F(CliPlayJackTest, PortsListTheVirtualPortFirstAndTheReader) {
  TJackReader reader(Server.Name());
  const TChildResult result = Cli({"ports"}, OnServer());
  ASSERT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_EQ(result.Out.rfind("Tambrel\n", 0), 0u) << result.Out;
  EXPECT_NE(result.Out.find("\n" + std::string(TJackReader::Listed) + "\n"), std::string::npos) << result.Out;
}

TEST_F(CliPlayJackTest, PlayRoutesByDeviceNumberIntoTheReader) {
  TJackReader reader(Server.Name());
  const std::string script = Write("play.tmb",
                                   "0 out(1, 144, 60, 100);\n"
                                   "100 out(2, 144, 62, 100);\n"
                                   "200 out(2, 240, 67, 16, 247);\n"
                                   "300 out(1, 128, 60, 0);\n");
  const TChildResult result =
      Cli({"play", script, "--out", std::string("1=") + TJackReader::Listed, "--map", "1=2", "--trace"},
          OnServer());
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  // The trace shows every played item, routed or not.
  EXPECT_EQ(result.Out,
            "00000:00.000  00001 90 3C 64\n"
            "00000:00.100  00002 90 3E 64\n"
            "00000:00.200  00002 F0 43 10 F7\n"
            "00000:00.300  00001 80 3C 00\n"
            "Tambrel play.tmb finished\n");
  // Once, at the start: how the timer thread is scheduled.
  const size_t said = result.Err.find("\ntambrel-cli: timer scheduling: ");
  EXPECT_NE(said, std::string::npos) << result.Err;
  EXPECT_EQ(said, result.Err.rfind("\ntambrel-cli: timer scheduling: ")) << result.Err;
  // The note left sounding at the end is switched off when the output closes.
  EXPECT_EQ(reader.CollectBytes(3), (std::vector<std::vector<uint8_t>>{
                                        {0x90, 0x3E, 0x64}, {0xF0, 0x43, 0x10, 0xF7}, {0x80, 0x3E, 0x00}}));
}

TEST_F(CliPlayJackTest, PlayRefusesAnUnknownPort) {
  const std::string script = Write("one.tmb", "0 out(1, 144, 60, 100);\n");
  const TChildResult unknown = Cli({"play", script, "--out", "1=no such:port"}, OnServer());
  EXPECT_EQ(unknown.ExitStatus, 2);
  EXPECT_NE(unknown.Err.find("unknown MIDI port \"no such:port\""), std::string::npos) << unknown.Err;
  // The end marker alone cannot repeat: the tool says so instead of waiting forever.
  const TChildResult lone = Cli({"play", Write("none.tmb", "const a = 1;\n"), "--repeat"}, OnServer());
  EXPECT_EQ(lone.ExitStatus, 1);
  EXPECT_NE(lone.Err.find("fewer than two items"), std::string::npos) << lone.Err;
}

// Play stopped by a signal in the middle of held notes: exactly their note-offs arrive, then nothing,
// and the status tells which signal it was. Device 3 has items but no output: one line says so.
TEST_F(CliPlayJackTest, PlayStoppedBySignalSwitchesTheHeldNotesOff) {
  const std::string script = Write("held.tmb",
                                   "0 out(1, 144, 60, 100);\n0 out(1, 145, 64, 90);\n0 out(3, 144, 1, 1);\n"
                                   "10 out(1, 128, 60, 0);\n60000 out(1, 129, 64, 0);\n");
  const struct {
    int Signal;
    bool Repeat;
    int Status;
  } cases[] = {{15, false, 143}, {2, false, 130}, {2, true, 0}, {15, true, 143}};
  for (const auto& c : cases) {
    TJackReader reader(Server.Name());
    TChildOptions options = OnServer();
    options.InterruptAfterMs = 1500;
    options.InterruptSignal = c.Signal;
    std::vector<std::string> args{"play", script, "--out", std::string("1=") + TJackReader::Listed};
    if (c.Repeat) args.push_back("--repeat");
    const TChildResult stopped = Cli(args, options);
    EXPECT_EQ(stopped.ExitStatus, c.Status) << stopped.Err;
    EXPECT_EQ(
        stopped.Err,
        "Syntax OK.\nCompilation OK.\ntambrel-cli: no output handles device 3: its items are not sent\n");
    EXPECT_EQ(reader.CollectBytes(4), (std::vector<std::vector<uint8_t>>{
                                          {0x90, 60, 100}, {0x91, 64, 90}, {0x80, 60, 0}, {0x81, 64, 0}}))
        << c.Signal;
  }
}

}  // namespace
}  // namespace tambrel
