#pragma once
// Token codes the scanner hands to the parser, and the value cell that goes with a token.
// Single characters ("(", ")", ",", ";" and any stray character) are returned as their own code 1..255;
// "{" and "}" come back as "(" and ")".

#include <cstdint>

namespace tambrel {

class TId;

namespace tok {
constexpr int32_t END = 0;  // end of the main file
constexpr int32_t LPAREN = '(';
constexpr int32_t RPAREN = ')';
constexpr int32_t COMMA = ',';
constexpr int32_t SEMICOLON = ';';
constexpr int32_t ERROR = 256;  // the parser's error symbol; never returned by the scanner
constexpr int32_t NUMBER = 257;
constexpr int32_t IDENTIFIER = 258;
constexpr int32_t CONST = 259;
constexpr int32_t LOOP = 260;
// 261 is unassigned.
constexpr int32_t INCLUDE = 262;
constexpr int32_t BADNUMBER = 263;
constexpr int32_t EQ = 264;
constexpr int32_t NEQ = 265;
constexpr int32_t LT = 266;
constexpr int32_t LE = 267;
constexpr int32_t GE = 268;
constexpr int32_t GT = 269;
constexpr int32_t PLUS = 270;
constexpr int32_t MINUS = 271;
constexpr int32_t MULT = 272;
constexpr int32_t DIV = 273;
constexpr int32_t MOD = 274;
constexpr int32_t NOT = 275;
constexpr int32_t OR = 276;
constexpr int32_t XOR = 277;
constexpr int32_t AND = 278;
}  // namespace tok

// The value of the token returned last. NUMBER sets Number (BADNUMBER sets it to 0); IDENTIFIER sets
// Id to a new TId holding the text, which the receiver owns from then on (the scanner keeps no
// reference). Every other token leaves the cell unchanged. Window thread only, like the whole front end.
struct TTokenValue {
  int32_t Number = 0;
  TId* Id = nullptr;
};

extern TTokenValue TokenValue;

}  // namespace tambrel
