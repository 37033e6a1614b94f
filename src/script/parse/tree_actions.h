#pragma once
// What the grammar's actions do to the definition tree: create the nodes with their source positions,
// link the lists, open include files and keep the parse result. Used by the generated actions only;
// the rest of the program reads the result through parser.h.

#include <cstdint>

#include "script/parse/tables.h"

namespace tambrel {
class TDefinition;
}

namespace tambrel::parse {

// Operator codes of the unary and binary expression nodes.
enum : int32_t { UnaryNot = 0, UnaryMinus = 1, UnaryPlus = 2 };
enum : int32_t {
  OpMult = 0,
  OpDiv,
  OpMod,
  OpPlus,
  OpMinus,
  OpAnd,
  OpOr,
  OpXor,
  OpEq,
  OpNeq,
  OpLt,
  OpLe,
  OpGe,
  OpGt
};

// Hands over the node of a value cell and clears the cell, so that it is owned exactly once.
TDefinition* Take(TDefinition*& cell);

// Production 1: remembers the main file's name without its directory.
void TakeMainFileName();
// Production 2: the root over the top-level list becomes the parse result.
void SetParseResult(TDefinition* statements);

// Links item after tail, the last element of the list headed by head, and returns the new last
// element. Lists keep their last element beside the head so that a long list grows in constant time.
// A list whose first element was lost to an error (head is none) stays empty: item is destroyed.
TDefinition* AppendToChain(TDefinition* head, TDefinition* tail, TDefinition* item);

// Production 11: the include's name becomes the include file's full name, and that file is opened.
void OpenIncludeFile(TDefinition* include);

// The operators an expression node nests over operands nesting left and right ones: one more than
// the larger. Past MaxExpressionDepth the parse ends: the report "expression nested deeper than
// <limit> levels" is counted as a syntax error and ELex is thrown.
int32_t Deeper(int32_t left, int32_t right);

// Node constructors, each stamped with the current source position. They take ownership of every
// argument, also when they throw.
TDefinition* NewAction(TDefinition* time, TDefinition* name, TDefinition* args);
TDefinition* NewProcedure(TDefinition* name, TDefinition* params, TDefinition* body);
TDefinition* NewLoop(TDefinition* variable, TDefinition* from, TDefinition* to, TDefinition* step,
                     TDefinition* body);
TDefinition* NewConstant(TDefinition* name, TDefinition* value);
TDefinition* NewInclude(TDefinition* name);
TDefinition* NewBinary(int32_t op, TDefinition* left, TDefinition* right);
TDefinition* NewUnary(int32_t op, TDefinition* operand);
TDefinition* NewNumber(int32_t value);
TDefinition* NewVariable(TDefinition* id);

}  // namespace tambrel::parse
