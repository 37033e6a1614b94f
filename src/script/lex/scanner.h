#pragma once
// The scanner: characters of the source input in, token codes (script/lex/tokens.h) out.

#include <cstdint>

namespace tambrel {

// The next token code; sets TokenValue for NUMBER, BADNUMBER and IDENTIFIER. Returns tok::END once
// the main file (and every include file it opened) has ended, and again on every further call.
// Throws ELex on the fatal limits ("yytext overflow" for a token or comment of 255 characters or
// more).
int32_t yylex();

}  // namespace tambrel
