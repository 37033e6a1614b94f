#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tambrel {
namespace {

TEST(CliOptions, PlayTakesPortNamesWithColonsSpacesAndEquals) {
  const TCliOptions options =
      ParseCliArguments({"play", "a.tmb", "--out", "2=Midi Through:Midi Through Port-0 14:0", "--map=2=7",
                         "b.tmb", "--out=4=x=y", "--trace", "--repeat"});
  EXPECT_EQ(options.Command, ECliCommand::Play);
  EXPECT_EQ(options.Files, (std::vector<std::string>{"a.tmb", "b.tmb"}));
  EXPECT_FALSE(options.OutPort[0].has_value());
  EXPECT_EQ(options.OutPort[1].value(), "Midi Through:Midi Through Port-0 14:0");
  EXPECT_EQ(options.OutPort[3].value(), "x=y");
  EXPECT_EQ(options.MapDevice, (std::array<int32_t, 4>{1, 7, 1, 1}));
  EXPECT_TRUE(options.Trace);
  EXPECT_TRUE(options.Repeat);
}

TEST(CliOptions, FileCountsOutputFileAndHelp) {
  EXPECT_EQ(ParseCliArguments({"check", "--", "-odd.tmb"}).Files, std::vector<std::string>{"-odd.tmb"});
  EXPECT_EQ(ParseCliArguments({"items", "a", "b", "c"}).Files.size(), 3u);
  EXPECT_EQ(ParseCliArguments({"ports"}).Command, ECliCommand::Ports);
  const TCliOptions exported = ParseCliArguments({"export", "a.tmb", "-o", "out.mid", "b.tmb"});
  EXPECT_EQ(exported.OutFile, "out.mid");
  EXPECT_EQ(exported.Files.size(), 2u);
  EXPECT_EQ(ParseCliArguments({"play", "a", "--map", "4=65535"}).MapDevice[3], 65535);
  EXPECT_EQ(ParseCliArguments({"play", "--help"}).Command, ECliCommand::Help);
  EXPECT_NE(CliHelpText().find("export FILE... -o OUT.mid"), std::string::npos);
}

TEST(CliOptions, RejectsBadUsage) {
  // Each case is the arguments, split at spaces.
  // clang-format off
  const char* const rejected[] = {
      "", "frobnicate", "check", "check a b", "dump", "items", "ports a", "export a.tmb", "export a.tmb -o",
      "export -o x.mid", "play a --out 5=port", "play a --out 0=port", "play a --out 1=",
      "play a --out 12=port", "play a --out", "play a --map 1=0", "play a --map 1=65536",
      "play a --map 1=7x", "check a --trace", "items a -o x"};
  // clang-format on
  for (const char* line : rejected) {
    std::vector<std::string> args;
    std::istringstream in(line);
    for (std::string arg; in >> arg;) args.push_back(arg);
    EXPECT_THROW(ParseCliArguments(args), ECliUsage) << line;
  }
}

}  // namespace
}  // namespace tambrel
