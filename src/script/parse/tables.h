#pragma once
// The parse tables bison generates from grammar.y, widened to one integer type, and the production
// actions. Shared by the generated code and the driver only.

#include <cstdint>
#include <vector>

namespace tambrel {
class TDefinition;
}

namespace tambrel::parse {

// One cell of the value stack. Node is owned by the cell (see grammar.y); Code carries a number, an
// operator code or the depth of an expression tree; Tail is the last element of the list Node heads, for the
// list productions (not owned).
struct TSemantic {
  TDefinition* Node = nullptr;
  TDefinition* Tail = nullptr;
  int32_t Code = 0;
};

// The tables in bison's packed form: for a state s and a symbol k, the entry at Pact[s] + k (or
// PGoto[k - TokenCount] + s for a goto) is valid when it lies within 0..Last and Check there equals
// k (s); otherwise DefAct[s] (DefGoto[...]) applies. Table holds a shift target (positive), a reduction
// (negative rule number) or TableNinf (an explicit error).
struct TGrammarTables {
  int32_t FinalState;
  int32_t Last;
  int32_t TokenCount;
  int32_t NonterminalCount;
  int32_t RuleCount;
  int32_t StateCount;
  int32_t MaxTokenCode;
  int32_t PactNinf;                // Pact value of a state that only reduces by DefAct
  int32_t TableNinf;               // Table value of an explicit error
  std::vector<int32_t> Translate;  // token code -> symbol
  std::vector<int32_t> Pact;
  std::vector<int32_t> DefAct;  // default rule of a state, 0 for none
  std::vector<int32_t> PGoto;
  std::vector<int32_t> DefGoto;
  std::vector<int32_t> Table;
  std::vector<int32_t> Check;
  std::vector<int32_t> Stos;  // state -> the symbol shifted or reduced to reach it
  std::vector<int32_t> R1;    // rule -> symbol of its left-hand side
  std::vector<int32_t> R2;    // rule -> length of its right-hand side
};

const TGrammarTables& GrammarTables();

// Runs the action of a production: top points at the value cell of the last symbol of its
// right-hand side, result receives the value of the left-hand side.
void RunAction(int32_t rule, TSemantic* top, TSemantic& result);

}  // namespace tambrel::parse
