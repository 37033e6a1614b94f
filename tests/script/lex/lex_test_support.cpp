#include "lex_test_support.h"

#include <memory>

#include "compiler/definition.h"
#include "script/lex/scanner.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"

namespace tambrel::testing {

void TLexTest::SetUp() {
  ResetInput();
  RestoreIdleInput();
  SetTraceOn(false);
}

void TLexTest::TearDown() {
  SetTraceOn(false);
  RestoreIdleInput();
}

std::vector<TScanned> ScanText(const std::string& text) {
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

std::vector<int32_t> Codes(const std::vector<TScanned>& tokens) {
  std::vector<int32_t> codes;
  for (const TScanned& token : tokens) {
    if (token.Code != tok::END) codes.push_back(token.Code);
  }
  return codes;
}

}  // namespace tambrel::testing
