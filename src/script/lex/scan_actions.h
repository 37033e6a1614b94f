#pragma once
// What the scanner's rules do beyond returning a code: the position of the last character consumed,
// the trace lines, the token length limit and the conversions of literals. Used by scanner.l only.

#include <cstdint>

namespace tambrel::lex {

// Every matched text moves the position on by its length.
void Consume(int32_t length);
// The line feed rule: next line, column 0.
void NewLine();
// A run of white space: a carriage return in it ends the line the error report echoes, though only
// line feeds count lines.
void WhiteSpace(const char* text, int32_t length);

// Tokens whose text may grow character by character: the automaton has read length characters of the
// token and lookahead further ones beyond it before it stopped. Reading one character more than the
// token text holds (255) is the fatal "yytext overflow".
void CheckTextLength(int32_t length, int32_t lookahead);

// Number of characters read beyond a numeric literal before the automaton stops: the literal's
// continuations (a point or comma, an exponent letter and sign) that did not lead to digits, plus the
// character that ended it.
int32_t LiteralLookahead(const char* text, int32_t length, bool hexadecimal);

int32_t DecimalToken(const char* text, int32_t length);
int32_t RealToken(const char* text, int32_t length);
int32_t HexToken(const char* text, int32_t length);
int32_t IdentifierToken(const char* text, int32_t length);
// A keyword or operator: writes its trace line and returns the code.
int32_t TracedToken(int32_t code, const char* trace);

}  // namespace tambrel::lex
