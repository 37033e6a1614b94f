#pragma once
// Helpers of the front-end tests: the fixture that leaves the input idle, and the scanner run over a
// file as the parser runs it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/definition.h"
#include "script/lex/scanner.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"
#include "temp_folder.h"

namespace tambrel::testing {

// The input idle, the messages and error count cleared and the trace off before each test; the trace
// off and the input idle after it.
class TLexTest : public ::testing::Test {
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
  TTempFolder Dir;
};

struct TScanned {
  int32_t Code = 0;
  int32_t Number = 0;  // NUMBER and BADNUMBER
  std::string Text;    // IDENTIFIER
  int32_t Line = 0;    // position after the token
  int32_t Column = 0;
};

// Every token of a file holding text, up to and including the end of input; the input is idle again
// afterwards, also when the scan throws.
inline std::vector<TScanned> ScanText(const std::string& text) {
  TTempFolder dir;
  struct TIdleGuard {
    ~TIdleGuard() { RestoreIdleInput(); }
  } guard;
  OpenSource(dir.Write("text.tmb", text));
  ResetInput();
  std::vector<TScanned> tokens;
  do {
    TScanned token;
    token.Code = yylex();
    if (token.Code == tok::NUMBER || token.Code == tok::BADNUMBER) token.Number = TokenValue.Number;
    if (token.Code == tok::IDENTIFIER) token.Text = std::unique_ptr<TId>(TokenValue.Id)->Name;
    token.Line = Line();
    token.Column = Column();
    tokens.push_back(token);
  } while (tokens.back().Code != tok::END);
  return tokens;
}

// The codes of the tokens, without the final end of input.
inline std::vector<int32_t> Codes(const std::vector<TScanned>& tokens) {
  std::vector<int32_t> codes;
  for (const TScanned& token : tokens)
    if (token.Code != tok::END) codes.push_back(token.Code);
  return codes;
}

}  // namespace tambrel::testing
