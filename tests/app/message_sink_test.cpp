#include "app/message_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tambrel {
namespace {

TEST(MessageSink, FormatsAndWritesListsLineByLine) {
  TCollectingMessageSink sink;
  sink.WriteMessageFmt("Loading: %s", "/a/b c.tmb");
  sink.WriteMessageFmt("%d syntax errors detected.", 0);
  const std::vector<std::string> lines = {"one", "", "three"};
  sink.WriteMessageList(&lines);
  sink.WriteMessageList(nullptr);
  const std::string longText(5000, 'x');
  sink.WriteMessageFmt("%s!", longText.c_str());
  ASSERT_EQ(sink.Lines.size(), 6u);
  EXPECT_EQ(sink.Lines[0], "Loading: /a/b c.tmb");
  EXPECT_EQ(sink.Lines[1], "0 syntax errors detected.");
  EXPECT_EQ(sink.Lines[3], "");
  EXPECT_EQ(sink.Lines[5], longText + "!");
}

TEST(MessageSink, StreamSinkEndsEachLine) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  TStreamMessageSink sink(file);
  sink.WriteMessage("Syntax OK.");
  sink.WriteMessage("");
  std::rewind(file);
  char buffer[64] = {};
  const size_t read = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, read), "Syntax OK.\n\n");
}

}  // namespace
}  // namespace tambrel
