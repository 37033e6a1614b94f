#include "app/message_sink.h"

#include <gtest/gtest.h>

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

// No byte of a script reaches a terminal as a control: C0 other than TAB, and DEL, show as '?'.
TEST(MessageSink, ShowsControlCharactersAsQuestionMarks) {
  std::string every;
  std::string shown;
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    every += c;
    shown += (code < 0x20 && c != '\t') || code == 0x7F ? '?' : c;
  }
  TCollectingMessageSink sink;
  sink.WriteMessage(every);
  sink.WriteMessageFmt("%s", every.c_str() + 1);
  ASSERT_EQ(sink.Lines.size(), 2u);
  EXPECT_EQ(sink.Lines[0], shown);
  EXPECT_EQ(sink.Lines[1], shown.substr(1));
}

}  // namespace
}  // namespace tambrel
