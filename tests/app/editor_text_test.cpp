#include "app/editor_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tambrel {
namespace {

struct TRoundTrip {
  const char* What;
  std::string Bytes;
  TTextEncoding Encoding;
  std::string Text;        // as the editor sees it
  std::string Added = {};  // lines the user adds, which end as the file's first line
  std::string Saved = {};  // the bytes with them
};

TEST(EditorTextTest, AnUnchangedTextGivesBackItsBytesAndAddedLinesEndAsTheFirst) {
  using enum TTextEncoding;
  const TRoundTrip cases[] = {
      {"empty", "", Utf8, "", "a\nb\n", "a\nb\n"},
      {"LF", "a\nb\n", Utf8, "a\nb\n"},
      {"CR LF", "a\r\nb\r\n", Utf8, "a\nb\n"},
      {"lone CR", "a\rb\r", Utf8, "a\nb\n", "c\n", "a\rb\rc\r"},
      {"mixed", "a\r\nb\nc\r\r\nd", Utf8, "a\nb\nc\n\nd"},
      {"CR LF then LF", "a\r\nb\n", Utf8, "a\nb\n", "c\nd", "a\r\nb\nc\r\nd"},
      {"no final line end", "a\r\nb", Utf8, "a\nb"},
      {"UTF-8 no-break space and euro", "x\xC2\xA0y \xE2\x82\xAC\r\n", Utf8, "x\xC2\xA0y \xE2\x82\xAC\n"},
      {"Latin-1 no-break space", "x\xA0y\r\n", Latin1, "x\xC2\xA0y\n"},
      {"Latin-1 e acute", "caf\xE9\n", Latin1, "caf\xC3\xA9\n", "\xC3\xBF\n", "caf\xE9\n\xFF\n"},
      {"Latin-1 C1 control and y diaeresis", "\x85\xFF", Latin1, "\xC2\x85\xC3\xBF"},
      {"overlong slash", "\xC0\xAF\n", Latin1, "\xC3\x80\xC2\xAF\n"},
      {"overlong three bytes", "\xE0\x80\xAF", Latin1, "\xC3\xA0\xC2\x80\xC2\xAF"},
      {"surrogate", "\xED\xA0\x80", Latin1, "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", Latin1, "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
      {"cut sequence at the end", "ab\xE2\x82", Latin1, "ab\xC3\xA2\xC2\x82"},
      {"lone continuation byte", "a\x80", Latin1, "a\xC2\x80"},
  };
  for (const TRoundTrip& c : cases) {
    SCOPED_TRACE(c.What);
    const TDecodedText decoded = DecodeEditorText(c.Bytes);
    EXPECT_EQ(decoded.Format.Encoding, c.Encoding);
    EXPECT_EQ(IsStrictUtf8(c.Bytes), c.Encoding == Utf8);
    EXPECT_EQ(decoded.Text, c.Text);
    EXPECT_EQ(EncodeEditorText(decoded.Text, decoded.Format), c.Bytes);
    EXPECT_EQ(EncodeEditorText(decoded.Text + c.Added, decoded.Format), c.Added.empty() ? c.Bytes : c.Saved);
  }
}

TEST(EditorTextTest, Latin1RefusesWhatItCannotHoldNamingTheLine) {
  const TEditorFileFormat latin1 = DecodeEditorText("caf\xE9\n").Format;
  for (const std::string refused :
       {"\xE2\x82\xAC", "\xC4\x80", "\xF0\x9F\x8E\xB5"}) {  // euro, U+0100, a note
    try {
      EncodeEditorText("caf\xC3\xA9\nprice 5" + refused + "\n", latin1);
      ADD_FAILURE() << "accepted " << refused;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find("Line 2"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace tambrel
