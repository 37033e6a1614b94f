#include "script/lex/scanner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "compiler/definition.h"
#include "lex_test_support.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"
#include "support/runtime_errors.h"

namespace tambrel {
namespace {

using testing::Codes;
using testing::ScanText;
using testing::TScanned;
using Tokens = std::vector<int32_t>;

class LexScanner : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInput();
    RestoreIdleInput();
    SetTraceOn(false);
  }
  void TearDown() override {
    SetTraceOn(false);
    RestoreIdleInput();
  }
};

// The single token a text scans into.
TScanned Single(const std::string& text) {
  const std::vector<TScanned> tokens = ScanText(text);
  EXPECT_EQ(tokens.size(), 2u) << text;
  return tokens.front();
}

int32_t NumberOf(const std::string& text) {
  const TScanned token = Single(text);
  EXPECT_EQ(token.Code, tok::NUMBER) << text;
  return token.Number;
}

TEST_F(LexScanner, KeywordsInAnyCaseAndIdentifiersAround) {
  for (const char* word : {"const", "CONST", "Const", "cOnSt"}) EXPECT_EQ(Single(word).Code, tok::CONST);
  EXPECT_EQ(Single("Loop").Code, tok::LOOP);
  EXPECT_EQ(Single("INCLUDE").Code, tok::INCLUDE);
  EXPECT_EQ(Single("DiV").Code, tok::DIV);
  EXPECT_EQ(Single("MOD").Code, tok::MOD);
  EXPECT_EQ(Single("Not").Code, tok::NOT);
  EXPECT_EQ(Single("oR").Code, tok::OR);
  EXPECT_EQ(Single("XOR").Code, tok::XOR);
  EXPECT_EQ(Single("And").Code, tok::AND);
  for (const char* word : {"constant", "loops", "Include2", "divide", "x", "o", "n", "a", "@x", "_", "a@b",
                           "Out", "modulo", "ord", "nota", "and_", "loop1", "co"}) {
    const TScanned token = Single(word);
    EXPECT_EQ(token.Code, tok::IDENTIFIER) << word;
    EXPECT_EQ(token.Text, word);
  }
  EXPECT_EQ(Codes(ScanText("loop(i")), (Tokens{tok::LOOP, '(', tok::IDENTIFIER}));
}

TEST_F(LexScanner, OperatorsAndTheirTwoSpellings) {
  EXPECT_EQ(Codes(ScanText("= == <> != < <= >= >")),
            (Tokens{tok::EQ, tok::EQ, tok::NEQ, tok::NEQ, tok::LT, tok::LE, tok::GE, tok::GT}));
  EXPECT_EQ(Codes(ScanText("+ - * / div % mod ! not | or ^ xor & and")),
            (Tokens{tok::PLUS, tok::MINUS, tok::MULT, tok::DIV, tok::DIV, tok::MOD, tok::MOD, tok::NOT,
                    tok::NOT, tok::OR, tok::OR, tok::XOR, tok::XOR, tok::AND, tok::AND}));
  EXPECT_EQ(Codes(ScanText("<=")), (Tokens{tok::LE}));
  EXPECT_EQ(Codes(ScanText("=<")), (Tokens{tok::EQ, tok::LT}));
  EXPECT_EQ(Codes(ScanText("! =")), (Tokens{tok::NOT, tok::EQ}));
  EXPECT_EQ(Codes(ScanText("===")), (Tokens{tok::EQ, tok::EQ}));
  EXPECT_EQ(Codes(ScanText("<>=")), (Tokens{tok::NEQ, tok::EQ}));
  EXPECT_EQ(Codes(ScanText("/ /")), (Tokens{tok::DIV, tok::DIV}));
  EXPECT_EQ(Codes(ScanText("a//b c\nd")), (Tokens{tok::IDENTIFIER, tok::IDENTIFIER}));
  EXPECT_EQ(Codes(ScanText("-5")), (Tokens{tok::MINUS, tok::NUMBER}));
}

TEST_F(LexScanner, BracesAreParenthesesAndOtherCharactersAreTheirOwnTokens) {
  EXPECT_EQ(Codes(ScanText("{1 + 2} * (3)")),
            (Tokens{'(', tok::NUMBER, tok::PLUS, tok::NUMBER, ')', tok::MULT, '(', tok::NUMBER, ')'}));
  EXPECT_EQ(Codes(ScanText("a, b;")), (Tokens{tok::IDENTIFIER, ',', tok::IDENTIFIER, ';'}));
  EXPECT_EQ(Codes(ScanText("[:#~.")), (Tokens{'[', ':', '#', '~', '.'}));
  EXPECT_EQ(Codes(ScanText("\xC4\xFF\x7F")), (Tokens{0xC4, 0xFF, 0x7F}));
  // Control characters and carriage returns are white space.
  EXPECT_EQ(Codes(ScanText("\x01\t\x0B\x0C\r \x1F"
                           "a\x1Fz")),
            (Tokens{tok::IDENTIFIER, tok::IDENTIFIER}));
  EXPECT_EQ(Codes(ScanText("")), (Tokens{}));
}

TEST_F(LexScanner, NumberValues) {
  EXPECT_EQ(NumberOf("1"), 1);
  EXPECT_EQ(NumberOf("007"), 7);
  EXPECT_EQ(NumberOf("1.5"), 1500);
  EXPECT_EQ(NumberOf("12.345"), 12345);
  EXPECT_EQ(NumberOf("0.0004"), 0);
  EXPECT_EQ(NumberOf("0.0005"), 1);
  EXPECT_EQ(NumberOf("1.0005"), 1000);
  EXPECT_EQ(NumberOf("2e3"), 2000000);
  EXPECT_EQ(NumberOf("1.5E-3"), 2);
  EXPECT_EQ(NumberOf("2147483.647"), 2147483647);
  EXPECT_EQ(NumberOf("2147483647"), 2147483647);
  EXPECT_EQ(NumberOf("$ff"), 255);
  EXPECT_EQ(NumberOf("$FF"), 255);
  EXPECT_EQ(NumberOf("0xff"), 255);
  EXPECT_EQ(NumberOf("0XFF"), 255);
  EXPECT_EQ(NumberOf("$FFFFFFFF"), -1);
  EXPECT_EQ(NumberOf("$000000001"), 1);
  EXPECT_EQ(NumberOf("0x80000000"), INT32_MIN);
}

TEST_F(LexScanner, BadNumbersCarryZero) {
  for (const char* text :
       {"2147483648", "99999999999", "$100000000", "$", "0x", "0X", "60,100", "1,5", "1,5e3"}) {
    TokenValue.Number = 17;
    const TScanned token = Single(text);
    EXPECT_EQ(token.Code, tok::BADNUMBER) << text;
    EXPECT_EQ(token.Number, 0) << text;
  }
  EXPECT_EQ(Codes(ScanText("60, 100")), (Tokens{tok::NUMBER, ',', tok::NUMBER}));
  EXPECT_EQ(Codes(ScanText("0xg")), (Tokens{tok::BADNUMBER, tok::IDENTIFIER}));
}

TEST_F(LexScanner, LiteralsNeedDigitsAfterPointAndExponent) {
  std::vector<TScanned> tokens = ScanText("1.");
  ASSERT_EQ(Codes(tokens), (Tokens{tok::NUMBER, '.'}));
  EXPECT_EQ(tokens[0].Number, 1);
  tokens = ScanText(".5");
  ASSERT_EQ(Codes(tokens), (Tokens{'.', tok::NUMBER}));
  EXPECT_EQ(tokens[1].Number, 5);
  tokens = ScanText("1e");
  ASSERT_EQ(Codes(tokens), (Tokens{tok::NUMBER, tok::IDENTIFIER}));
  EXPECT_EQ(tokens[1].Text, "e");
  EXPECT_EQ(Codes(ScanText("1e+")), (Tokens{tok::NUMBER, tok::IDENTIFIER, tok::PLUS}));
  EXPECT_EQ(Codes(ScanText("1.5e-x")), (Tokens{tok::NUMBER, tok::IDENTIFIER, tok::MINUS, tok::IDENTIFIER}));
  EXPECT_EQ(Codes(ScanText("1.2.3")), (Tokens{tok::NUMBER, '.', tok::NUMBER}));
  EXPECT_EQ(Codes(ScanText("2x")), (Tokens{tok::NUMBER, tok::IDENTIFIER}));
}

TEST_F(LexScanner, RealOutOfRangeIsABadNumber) {
  for (const char* text : {"2147484.0", "4294967.295", "1e300", "1e999"})
    EXPECT_EQ(Single(text).Code, tok::BADNUMBER);
}

TEST_F(LexScanner, IdentifierValueIsANewIdPerToken) {
  const std::vector<TScanned> tokens = ScanText("Abc abc x1");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0].Text, "Abc");  // letter case kept
  EXPECT_EQ(tokens[1].Text, "abc");
  EXPECT_EQ(tokens[2].Text, "x1");
}

TEST_F(LexScanner, CommentAtTheEndOfTheTextWithoutLineFeed) {
  EXPECT_EQ(Codes(ScanText("a; // the end")), (Tokens{tok::IDENTIFIER, ';'}));
  EXPECT_EQ(Codes(ScanText("//")), (Tokens{}));
}

TEST_F(LexScanner, EndOfInputIsReturnedAgainAndAgain) {
  testing::TTempDir dir;
  OpenSource(dir.Write("a.tmb", "x"));
  ResetInput();
  EXPECT_EQ(yylex(), tok::IDENTIFIER);
  delete TokenValue.Id;
  EXPECT_EQ(yylex(), tok::END);
  EXPECT_EQ(yylex(), tok::END);
  EXPECT_EQ(yylex(), tok::END);
  EXPECT_EQ(FileStackDepth(), 0u);
}

// The automaton reads at most 255 characters for one token, counting the character that ends it
// and the characters of a literal's continuation that led nowhere.
TEST_F(LexScanner, TokenTextLimit) {
  EXPECT_EQ(Single(std::string(254, 'a')).Code, tok::IDENTIFIER);
  EXPECT_EQ(Codes(ScanText("//" + std::string(252, 'x') + "\na")), (Tokens{tok::IDENTIFIER}));
  EXPECT_EQ(Single(std::string(254, '1')).Code, tok::BADNUMBER);
  EXPECT_EQ(Codes(ScanText(std::string(252, '1') + "e+;")),
            (Tokens{tok::BADNUMBER, tok::IDENTIFIER, tok::PLUS, ';'}));
  EXPECT_EQ(Codes(ScanText(std::string(253, '1') + ".;")), (Tokens{tok::BADNUMBER, '.', ';'}));
  EXPECT_EQ(Single("$" + std::string(252, '0') + "1").Number, 1);
  EXPECT_EQ(Codes(ScanText(std::string(250, '0') + ".5e-x")),
            (Tokens{tok::NUMBER, tok::IDENTIFIER, tok::MINUS, tok::IDENTIFIER}));

  const std::vector<std::string> overflowing = {
      std::string(255, 'a'),         "x " + std::string(300, 'b'),
      "//" + std::string(253, 'x'),  "//" + std::string(253, 'x') + "\n",
      std::string(255, '1'),         std::string(254, '1') + ".;",
      std::string(253, '1') + "e+;", std::string(251, '1') + ".5e-" + "x",
      "$" + std::string(254, '0'),
  };
  for (const std::string& text : overflowing) {
    try {
      ScanText(text);
      ADD_FAILURE() << "no fatal error for a text of " << text.size() << " characters";
    } catch (const ELex& error) {
      EXPECT_STREQ(error.what(), "FATAL ERROR : 'yytext overflow'");
      EXPECT_EQ(ErrorCount(), 1);
    }
    RestoreIdleInput();
  }
}

TEST_F(LexScanner, TraceLinesOfTheRules) {
  SetTraceOn(true);
  ScanText(
      "const x = 1 + 2.5 - $f; loop include div / mod % not ! or | xor ^ and & == <> != < <= >= > *"
      " { } // c\n");
  const std::vector<std::string> expected = {
      "<const>", "<identifier>", "<EQ>",  "<integer>", "<plus>", "<real>", "<minus>", "<integer>",
      "<loop>",  "<include>",    "<div>", "<div>",     "<mod>",  "<mod>",  "<not>",   "<not>",
      "<or>",    "<or>",         "<xor>", "<xor>",     "<and>",  "<and>",  "<EQ>",    "<NEQ>",
      "<NEQ>",   "<LT>",         "<LE>",  "<GE>",      "<GT>",   "<mult>", ""};
  EXPECT_EQ(Messages(), expected);
}

TEST_F(LexScanner, NoTraceLinesWhenTheTraceIsOff) {
  ScanText("const x = 1 + 2.5 - $f; loop include y");
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace tambrel
