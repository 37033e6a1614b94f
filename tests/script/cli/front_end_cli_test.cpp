// The front end as a user of tambrel-cli meets it: file names in messages, include files the tool
// cannot read, the echoed source line and the parser trace. Each test runs a copy of the real tool in
// a folder of its own, with its own Include/ beside it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "child_process.h"

namespace tambrel {
namespace {

namespace fs = std::filesystem;

class FrontEndCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tambrel-front-cli-" + std::to_string(::getpid()));
    fs::create_directories(Dir / "Include");
    fs::copy_file(std::string(TAMBREL_OUTPUT_DIR) + "/tambrel-cli", Dir / "tambrel-cli");
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Write(const std::string& name, const std::string& text) const {
    const fs::path path = Dir / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  TChildResult Cli(const std::vector<std::string>& args, const TChildOptions& options = {}) const {
    std::vector<std::string> argv{(Dir / "tambrel-cli").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, options);
  }
  // As Cli, but where file permissions hold: as root, the tool runs as the user nobody.
  TChildResult CliAsUser(const std::vector<std::string>& args) const {
    if (::geteuid() != 0) return Cli(args);
    std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                  "--"};
    argv.push_back((Dir / "tambrel-cli").string());
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv);
  }

  fs::path Dir;
};

TEST_F(FrontEndCliTest, FileNamesAreCutAtTheLastSlashOnly) {
  const TChildResult result = Cli({"dump", Write("sub:x/song 10:30.tmb", "0 missing;\n")});
  EXPECT_EQ(result.Out.rfind("TTambrel( song 10:30.tmb)\r\n", 0), 0u) << result.Out;
  EXPECT_EQ(result.Err,
            "Syntax OK.\n"
            "[1,10] in file \"song 10:30.tmb\": \"Undefined 'missing'\"\n"
            "[0,0] in file \"song 10:30.tmb\": \"Could not resolve all references.\"\n"
            "Compilation error(s) encountered.\n");
}

TEST_F(FrontEndCliTest, OneExpressionNestsAtMost4000Operators) {
  std::string sum = "1";
  for (int i = 0; i < 4000; ++i) sum += "+1";
  const TChildResult atLimit = Cli({"check", Write("limit.tmb", "const x = " + sum + ";\n")});
  EXPECT_EQ(atLimit.Out, "Syntax OK.\nCompilation OK.\n");
  const TChildResult deeper = Cli({"check", Write("deeper.tmb", "const x = " + sum + "+1;\n")});
  EXPECT_EQ(deeper.Out.substr(0, deeper.Out.find('\n')),
            "[1,8014] in file \"deeper.tmb\": \"expression nested deeper than 4000 levels\"");
  EXPECT_EQ(deeper.ExitStatus, 1);
}

// Nothing blocks on a FIFO: as an include it is not found, as the main file it cannot be read.
TEST_F(FrontEndCliTest, FifoIsNoSourceFile) {
  ASSERT_EQ(::mkfifo((Dir / "Include/pipe.tmb").c_str(), 0600), 0);
  TChildOptions quick;
  quick.TimeoutMs = 20000;
  const TChildResult include = Cli({"check", Write("main.tmb", "include pipe;\n0 out(1, 2);\n")}, quick);
  EXPECT_FALSE(include.TimedOut);
  EXPECT_EQ(include.Out, "Syntax OK.\n[1,12] in file \"main.tmb\": \"Include file \"" +
                             (Dir / "Include/pipe.tmb").string() +
                             "\" not found\"\n"
                             "[0,0] in file \"main.tmb\": \"Could not resolve all references.\"\n"
                             "Compilation error(s) encountered.\n");
  const TChildResult main = Cli({"check", (Dir / "Include/pipe.tmb").string()}, quick);
  EXPECT_FALSE(main.TimedOut);
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

// One syntax error as check shows it: the report's three lines, then the count.
TEST_F(FrontEndCliTest, SyntaxErrorReports) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // A carriage return ends the echoed line at either side.
      {"0 out(1, 2);\r1 out(1 2);\r2 out(1, 3);\r",
       "[1,22] in file \"main.tmb\": \"syntax error\"\n1 out(1 2);\n        ^\n"},
      // A real literal beyond the 32-bit range is a bad number.
      {"0 nop;\n4294967.295 nop;\n1 nop;\n",
       "[2,11] in file \"main.tmb\": \"syntax error\"\n4294967.295 nop;\n          ^\n"},
      // The caret line keeps the tabs before the caret.
      {"\t0 out(1\t2);\n", "[1,10] in file \"main.tmb\": \"syntax error\"\n\t0 out(1\t2);\n\t       \t^\n"}};
  for (const auto& [text, report] : cases) {
    const TChildResult result = Cli({"check", Write("main.tmb", text)});
    EXPECT_EQ(result.Out, report + "1 syntax error detected.\n");
    EXPECT_EQ(result.ExitStatus, 1);
  }
}

// The trace lines stand where the message area would show them: before the syntax summary, on the
// stream of the compile lines.
TEST_F(FrontEndCliTest, ParserTraceOfCheckItemsAndDump) {
  const std::string script = Write("nop.tmb", "0 nop;");
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
