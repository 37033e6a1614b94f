// The front end as a user of tambrel-cli meets it: include files the tool cannot read and the parser
// trace. Each test runs a copy of the real tool in a folder of its own, with its own Include/ beside it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

class FrontEndCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Dir.Root / "Include");
    fs::copy_file(std::string(TAMBREL_OUTPUT_DIR) + "/tambrel-cli", Dir.Root / "tambrel-cli");
  }
  TChildResult Cli(const std::vector<std::string>& args, const TChildOptions& options = {}) const {
    std::vector<std::string> argv{(Dir.Root / "tambrel-cli").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, options);
  }
  // As Cli, but where file permissions hold: as root, the tool runs as the user nobody.
  TChildResult CliAsUser(const std::vector<std::string>& args) const {
    if (::geteuid() != 0) return Cli(args);
    std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                  "--"};
    argv.push_back((Dir.Root / "tambrel-cli").string());
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv);
  }

  TTempFolder Dir;
};

// The include folder is the one beside the tool; a window's debug file there is left as it is.
TEST_F(FrontEndCliTest, IncludesComeFromTheFolderBesideTheTool) {
  Dir.Write("Include/beat.tmb", "0 out(1, 153, 36, 100);\n");
  Dir.Write("debug.txt", "00000:00.000 Program start\n");
  const TChildResult result =
      Cli({"items", Dir.Write("uses.tmb", "include beat;\n10 out(1, 137, 36, 0);\n")});
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_NE(result.Out.find("| 00000:00.000  00001 99 24 64\n"), std::string::npos) << result.Out;
  EXPECT_EQ(Dir.Read("debug.txt"), "00000:00.000 Program start\n");
}

// Nothing blocks on a FIFO: as an include it is not found, as the main file it cannot be read.
TEST_F(FrontEndCliTest, FifoIsNoSourceFile) {
  ASSERT_EQ(::mkfifo((Dir.Root / "Include/pipe.tmb").c_str(), 0600), 0);
  TChildOptions quick;
  quick.TimeoutMs = 20000;
  const TChildResult include = Cli({"check", Dir.Write("main.tmb", "include pipe;\n0 out(1, 2);\n")}, quick);
  EXPECT_FALSE(include.TimedOut);
  EXPECT_EQ(include.Out, "Syntax OK.\n[1,12] in file \"main.tmb\": \"Include file \"" +
                             (Dir.Root / "Include/pipe.tmb").string() +
                             "\" not found\"\n"
                             "[0,0] in file \"main.tmb\": \"Could not resolve all references.\"\n"
                             "Compilation error(s) encountered.\n");
  const TChildResult main = Cli({"check", (Dir.Root / "Include/pipe.tmb").string()}, quick);
  EXPECT_FALSE(main.TimedOut);
  EXPECT_EQ(main.Err, "tambrel-cli: Cannot read file \"" + (Dir.Root / "Include/pipe.tmb").string() +
                          "\": not a regular file\n");
  EXPECT_EQ(main.ExitStatus, 2);
}

TEST_F(FrontEndCliTest, IncludeThatCannotBeReadIsASyntaxError) {
  const std::string locked = Dir.Write("Include/locked.tmb", "0 out(1, 2);\n");
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const TChildResult result = CliAsUser({"check", Dir.Write("main.tmb", "0 out(1, 1);\ninclude locked;\n")});
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
  const std::string script = Dir.Write("nop.tmb", "0 nop;");
  const std::string traceStart = "state 0, char -1, '------'\nreduce 1\n<integer>\n";
  const std::string traceEnd = "reduce 2\nstate 2, char 0, '^@ NUL'\n\nSyntax OK.\nCompilation OK.\n";
  const TChildResult check = Cli({"check", "--parser-trace", script});
  EXPECT_EQ(check.Out.rfind(traceStart, 0), 0u) << check.Out;
  EXPECT_EQ(check.Out.substr(check.Out.size() - traceEnd.size()), traceEnd);
  for (const char* command : {"items", "dump"}) {
    const TChildResult result = Cli({command, script, "--parser-trace"});
    EXPECT_EQ(result.Err.rfind(traceStart, 0), 0u) << command << ": " << result.Err;
    EXPECT_EQ(result.Out.find("state 0"), std::string::npos) << command;
    EXPECT_EQ(result.ExitStatus, 0) << command;
  }
  EXPECT_EQ(Cli({"check", script}).Out, "Syntax OK.\nCompilation OK.\n");
  EXPECT_EQ(Cli({"play", script, "--parser-trace"}).ExitStatus, 2);
}

}  // namespace
}  // namespace tambrel
