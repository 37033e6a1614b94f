#include "script/lex/scan_actions.h"

#include <cstring>
#include <string>
#include <string_view>

#include "compiler/definition.h"
#include "script/lex/numeric_literals.h"
#include "script/lex/source_input.h"
#include "script/lex/source_state.h"
#include "script/lex/tokens.h"
#include "support/text_format.h"

namespace tambrel {

TTokenValue TokenValue;

namespace lex {

namespace {

constexpr int32_t MaxTokenText = 255;

// The character at offset k after the last one consumed; NUL at and beyond the end of the text.
char Peek(int32_t k) {
  const TInputState& current = State().Current;
  const int32_t at = current.Pos + k;
  return at < current.ScanLength ? current.Text[static_cast<std::size_t>(at)] : '\0';
}

bool IsExponentLetter(char c) {
  return c == 'e' || c == 'E';
}

// Trace lines are written only while the trace is on; the check comes first so that the untraced
// scan builds no string per token.
void Trace(const char* line) {
  if (TraceOn()) WriteLine(line);
}

int32_t NumberToken(bool converted, int32_t value) {
  TokenValue.Number = converted ? value : 0;
  return converted ? tok::NUMBER : tok::BADNUMBER;
}

}  // namespace

void Consume(int32_t length) {
  TInputState& current = State().Current;
  current.Pos += length;
  current.Column += length;
}

void NewLine() {
  TInputState& current = State().Current;
  ++current.Line;
  current.Column = 0;
  current.LineStart = current.Pos;
}

void WhiteSpace(const char* text, int32_t length) {
  const void* found = ::memrchr(text, '\r', static_cast<std::size_t>(length));
  if (found == nullptr) return;
  TInputState& current = State().Current;
  current.LineStart = current.Pos - length + static_cast<int32_t>(static_cast<const char*>(found) - text) + 1;
}

void CheckTextLength(int32_t length, int32_t lookahead) {
  if (length + lookahead > MaxTokenText) Fatal("yytext overflow");
}

int32_t LiteralLookahead(const char* text, int32_t length, bool hexadecimal) {
  if (hexadecimal) return 1;
  const std::string_view literal(text, static_cast<std::size_t>(length));
  if (literal.find_first_of("eE") != std::string_view::npos) return 1;
  const char next = Peek(0);
  const bool fraction = literal.find_first_of(".,") != std::string_view::npos;
  if (!fraction && (next == '.' || next == ',')) return 2;
  if (IsExponentLetter(next)) {
    const char sign = Peek(1);
    return sign == '+' || sign == '-' ? 3 : 2;
  }
  return 1;
}

int32_t DecimalToken(const char* text, int32_t length) {
  CheckTextLength(length, LiteralLookahead(text, length, false));
  Trace("<integer>");
  int32_t value = 0;
  const bool converted = ConvertDecimal(std::string_view(text, static_cast<std::size_t>(length)), value);
  return NumberToken(converted, value);
}

int32_t RealToken(const char* text, int32_t length) {
  CheckTextLength(length, LiteralLookahead(text, length, false));
  Trace("<real>");
  int32_t value = 0;
  const bool converted = ConvertReal(std::string_view(text, static_cast<std::size_t>(length)), value);
  return NumberToken(converted, value);
}

int32_t HexToken(const char* text, int32_t length) {
  CheckTextLength(length, LiteralLookahead(text, length, true));
  Trace("<integer>");
  const std::string_view literal(text, static_cast<std::size_t>(length));
  // "0x..." is read as "$" and the digits after the prefix.
  std::string dollar(1, '$');
  dollar.append(literal.substr(literal[0] == '$' ? 1 : 2));
  int32_t value = 0;
  const bool converted = ConvertHex(dollar, value);
  return NumberToken(converted, value);
}

int32_t IdentifierToken(const char* text, int32_t length) {
  CheckTextLength(length, 1);
  Trace("<identifier>");
  TokenValue.Id = new TId(std::string(text, static_cast<std::size_t>(length)));
  return tok::IDENTIFIER;
}

int32_t TracedToken(int32_t code, const char* trace) {
  Trace(trace);
  return code;
}

}  // namespace lex
}  // namespace tambrel
