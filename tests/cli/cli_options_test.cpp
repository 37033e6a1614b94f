#include "cli/cli_options.h"

#include <gtest/gtest.h>

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

TEST(CliOptions, FileCountsPerCommand) {
  EXPECT_EQ(ParseCliArguments({"check", "x.tmb"}).Files.size(), 1u);
  EXPECT_THROW(ParseCliArguments({"check"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"check", "a", "b"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"dump"}), ECliUsage);
  EXPECT_EQ(ParseCliArguments({"items", "a", "b", "c"}).Files.size(), 3u);
  EXPECT_THROW(ParseCliArguments({"items"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"ports", "a"}), ECliUsage);
  EXPECT_EQ(ParseCliArguments({"ports"}).Command, ECliCommand::Ports);
  EXPECT_EQ(ParseCliArguments({"check", "--", "-odd.tmb"}).Files[0], "-odd.tmb");
}

TEST(CliOptions, ExportNeedsItsOutputFile) {
  const TCliOptions options = ParseCliArguments({"export", "a.tmb", "-o", "out.mid", "b.tmb"});
  EXPECT_EQ(options.OutFile, "out.mid");
  EXPECT_EQ(options.Files.size(), 2u);
  EXPECT_THROW(ParseCliArguments({"export", "a.tmb"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"export", "a.tmb", "-o"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"export", "-o", "x.mid"}), ECliUsage);
}

TEST(CliOptions, RejectsBadOptions) {
  EXPECT_THROW(ParseCliArguments({}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"frobnicate"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--out", "5=port"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--out", "0=port"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--out", "1="}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--out", "12=port"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--out"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--map", "1=0"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--map", "1=65536"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"play", "a", "--map", "1=7x"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"check", "a", "--trace"}), ECliUsage);
  EXPECT_THROW(ParseCliArguments({"items", "a", "-o", "x"}), ECliUsage);
  EXPECT_EQ(ParseCliArguments({"play", "a", "--map", "4=65535"}).MapDevice[3], 65535);
}

TEST(CliOptions, HelpWinsAnywhere) {
  EXPECT_EQ(ParseCliArguments({"--help"}).Command, ECliCommand::Help);
  EXPECT_EQ(ParseCliArguments({"play", "--help"}).Command, ECliCommand::Help);
  EXPECT_NE(CliHelpText().find("export FILE... -o OUT.mid"), std::string::npos);
}

}  // namespace
}  // namespace tambrel
