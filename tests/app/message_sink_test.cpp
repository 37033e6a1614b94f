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
  EXPECT_EQ(sink.Lines, (std::vector<std::string>{"Loading: /a/b c.tmb", "0 syntax errors detected.", "one",
                                                  "", "three", longText + "!"}));
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
  EXPECT_EQ(sink.Lines, (std::vector<std::string>{shown, shown.substr(1)}));
}

}  // namespace
}  // namespace tambrel
