// The scanner over real files: keywords, operators, literals and their values, the token text limit
// and the trace lines of the rules.

#include "script/lex/scanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lex_test_support.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"

namespace tambrel {
namespace {

using testing::Codes;
using testing::ScanText;
using testing::TScanned;
using Tokens = std::vector<int32_t>;

using LexScanner = testing::TLexTest;

TEST_F(LexScanner, KeywordsInAnyCaseAndIdentifiersAround) {
  EXPECT_EQ(Codes(ScanText("const cOnSt Loop INCLUDE DiV MOD Not oR XOR And")),
            (Tokens{tok::CONST, tok::CONST, tok::LOOP, tok::INCLUDE, tok::DIV, tok::MOD, tok::NOT, tok::OR,
                    tok::XOR, tok::AND}));
  for (const char* text : {"constant", "loops", "Include2", "divide", "x", "o", "n", "a", "@x", "_", "a@b",
                           "Abc", "nota", "and_", "loop1"}) {
    const std::vector<TScanned> tokens = ScanText(text);
    ASSERT_EQ(Codes(tokens), Tokens{tok::IDENTIFIER}) << text;
    EXPECT_EQ(tokens[0].Text, text);
  }
}

TEST_F(LexScanner, TokenSequences) {
  using namespace tok;
  // clang-format off
  const std::vector<std::pair<std::string, Tokens>> cases = {
      {"= == <> != < <= >= >", {EQ, EQ, NEQ, NEQ, LT, LE, GE, GT}},
      {"+ - * / div % mod ! not | or ^ xor & and",
       {PLUS, MINUS, MULT, DIV, DIV, MOD, MOD, NOT, NOT, OR, OR, XOR, XOR, AND, AND}},
      {"=<", {EQ, LT}}, {"! =", {NOT, EQ}}, {"===", {EQ, EQ}}, {"<>=", {NEQ, EQ}}, {"/ /", {DIV, DIV}},
      {"a//b c\nd", {IDENTIFIER, IDENTIFIER}}, {"a; // the end", {IDENTIFIER, ';'}}, {"//", {}}, {"", {}},
      {"-5", {MINUS, NUMBER}}, {"{1} * (2)", {'(', NUMBER, ')', MULT, '(', NUMBER, ')'}},
      {"a, b;", {IDENTIFIER, ',', IDENTIFIER, ';'}}, {"[:#~.\xC4\xFF\x7F", {'[', ':', '#', '~', '.', 0xC4, 0xFF, 0x7F}},
      // Control characters and carriage returns are white space.
      {"\x01\t\x0B\x0C\r \x1F" "a\x1Fz", {IDENTIFIER, IDENTIFIER}},
      // A real literal needs digits after its point and in its exponent.
      {"1.", {NUMBER, '.'}}, {".5", {'.', NUMBER}}, {"1e+", {NUMBER, IDENTIFIER, PLUS}},
      {"1.5e-x", {NUMBER, IDENTIFIER, MINUS, IDENTIFIER}}, {"1.2.3", {NUMBER, '.', NUMBER}},
      {"2x", {NUMBER, IDENTIFIER}}, {"60, 100", {NUMBER, ',', NUMBER}}, {"0xg", {BADNUMBER, IDENTIFIER}}};
  // clang-format on
  for (const auto& [text, codes] : cases) EXPECT_EQ(Codes(ScanText(text)), codes) << text;
}

// Every numeric literal is one token; a failed conversion is BADNUMBER with the value 0.
TEST_F(LexScanner, NumericLiterals) {
  struct TCase {
    const char* Text;
    int32_t Value;
  };
  // 0.0005 is a little above a half thousandth in double precision, 1.0005 a little below.
  // clang-format off
  const std::vector<TCase> numbers = {
      {"1", 1}, {"007", 7}, {"0000000000002147483647", 2147483647}, {"1.5", 1500}, {"12.345", 12345},
      {"0.0", 0}, {"0.0004", 0}, {"0.0005", 1}, {"1.0005", 1000}, {"2e3", 2000000}, {"2E+3", 2000000},
      {"1.5E-3", 2}, {"1e-400", 0}, {"2147483.647", 2147483647}, {"2147483.6474", 2147483647}, {"$ff", 255},
      {"$FF", 255}, {"0xff", 255}, {"0XFF", 255}, {"$aBc", 0xabc}, {"$7FFFFFFF", 2147483647},
      {"0x80000000", INT32_MIN}, {"$FFFFFFFF", -1}, {"$000000001", 1}, {"$0000000000000000ffffffff", -1}};
  // clang-format on
  for (const TCase& c : numbers) {
    const std::vector<TScanned> tokens = ScanText(c.Text);
    ASSERT_EQ(Codes(tokens), Tokens{tok::NUMBER}) << c.Text;
    EXPECT_EQ(tokens[0].Number, c.Value) << c.Text;
  }
  for (const char* text : {"2147483648", "99999999999", "$100000000", "$", "0x", "0X", "60,100", "1,5",
                           "1,5e3", "2147484.0", "4294967.295", "2147483.6476", "1e300", "1e999"}) {
    TokenValue.Number = 17;
    const std::vector<TScanned> tokens = ScanText(text);
    ASSERT_EQ(Codes(tokens), Tokens{tok::BADNUMBER}) << text;
    EXPECT_EQ(tokens[0].Number, 0) << text;
  }
}

// The automaton reads at most 255 characters for one token, counting the character that ends it
// and the characters of a literal's continuation that led nowhere.
TEST_F(LexScanner, TokenTextLimit) {
  const std::vector<std::pair<std::string, Tokens>> within = {
      {std::string(254, 'a'), {tok::IDENTIFIER}},
      {"//" + std::string(252, 'x') + "\na", {tok::IDENTIFIER}},
      {std::string(254, '1'), {tok::BADNUMBER}},
      {std::string(252, '1') + "e+;", {tok::BADNUMBER, tok::IDENTIFIER, tok::PLUS, ';'}},
      {std::string(253, '1') + ".;", {tok::BADNUMBER, '.', ';'}},
      {"$" + std::string(252, '0') + "1", {tok::NUMBER}},
      {std::string(250, '0') + ".5e-x", {tok::NUMBER, tok::IDENTIFIER, tok::MINUS, tok::IDENTIFIER}}};
  for (const auto& [text, codes] : within) EXPECT_EQ(Codes(ScanText(text)), codes) << text.size();

  for (const std::string& text :
       {std::string(255, 'a'), "x " + std::string(300, 'b'), "//" + std::string(253, 'x'),
        "//" + std::string(253, 'x') + "\n", std::string(255, '1'), std::string(254, '1') + ".;",
        std::string(253, '1') + "e+;", std::string(251, '1') + ".5e-x", "$" + std::string(254, '0')}) {
    EXPECT_THAT([&] { ScanText(text); },
                ::testing::ThrowsMessage<ELex>(::testing::StrEq("FATAL ERROR : 'yytext overflow'")))
        << text.size();
    EXPECT_EQ(ErrorCount(), 1) << text.size();
  }
}

TEST_F(LexScanner, TraceLinesOfTheRules) {
  const std::string text =
      "const x = 1 + 2.5 - $f; loop include div / mod % not ! or | xor ^ and & == <> != < <= >= > *"
      " { } // c\n";
  ScanText(text);
  EXPECT_TRUE(Messages().empty());
  SetTraceOn(true);
  ScanText(text);
  const std::vector<std::string> expected = {
      "<const>", "<identifier>", "<EQ>",  "<integer>", "<plus>", "<real>", "<minus>", "<integer>",
      "<loop>",  "<include>",    "<div>", "<div>",     "<mod>",  "<mod>",  "<not>",   "<not>",
      "<or>",    "<or>",         "<xor>", "<xor>",     "<and>",  "<and>",  "<EQ>",    "<NEQ>",
      "<NEQ>",   "<LT>",         "<LE>",  "<GE>",      "<GT>",   "<mult>", ""};
  EXPECT_EQ(Messages(), expected);
}

}  // namespace
}  // namespace tambrel
