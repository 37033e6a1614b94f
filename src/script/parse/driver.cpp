// The parser driver: walks the tables bison generated from grammar.y. Bison numbers its own accept
// rule first, so its rule r is production r - 1 of the grammar, and it reaches acceptance by shifting
// the end of input into a final state of its own; the driver reports production numbers and treats
// that shift as the accept action, so the automaton is the grammar's 93 states.

#include <memory>
#include <vector>

#include "compiler/definition.h"
#include "script/lex/scanner.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"
#include "script/parse/parser.h"
#include "script/parse/tables.h"

namespace tambrel {
namespace {

using parse::TGrammarTables;
using parse::TSemantic;

// The bison symbol of the error token.
constexpr int32_t ErrorSymbol = 1;
// The bison symbol of a token code the grammar does not know.
constexpr int32_t UndefinedSymbol = 2;

constexpr int32_t NoLookahead = -1;

void DestroyNode(TDefinition*& node) {
  if (node != nullptr) TListDeleter()(node);
  node = nullptr;
}

// The stacks of one parse. Every node left in a cell is destroyed with them, so a parse that ends
// early, also through an exception, frees the partial tree.
class TParseStacks {
 public:
  TParseStacks() : States(ParserStackSize), Values(ParserStackSize) {}
  ~TParseStacks() {
    for (int32_t i = 0; i < Top; ++i) DestroyNode(Values[static_cast<size_t>(i)].Node);
  }
  TParseStacks(const TParseStacks&) = delete;
  TParseStacks& operator=(const TParseStacks&) = delete;

  bool Push(int32_t state, TSemantic& value) {
    if (Top >= ParserStackSize) return false;
    States[static_cast<size_t>(Top)] = state;
    Values[static_cast<size_t>(Top)] = value;
    value = TSemantic();
    ++Top;
    return true;
  }
  void Pop(int32_t count) {
    for (; count > 0 && Top > 0; --count) {
      --Top;
      DestroyNode(Values[static_cast<size_t>(Top)].Node);
    }
  }
  int32_t Count() const { return Top; }
  int32_t StateAt(int32_t index) const { return States[static_cast<size_t>(index)]; }
  int32_t TopState() const { return StateAt(Top - 1); }
  TSemantic* TopValue() { return &Values[static_cast<size_t>(Top - 1)]; }

 private:
  std::vector<int32_t> States;
  std::vector<TSemantic> Values;
  int32_t Top = 0;
};

// The lookahead token and the value it brings: the scanner's new identifier is owned here until it is
// shifted, so that a token discarded by recovery or left at an abort is freed.
class TLookahead {
 public:
  ~TLookahead() { DestroyNode(Value.Node); }
  int32_t Code = NoLookahead;

  void Read() {
    Code = yylex();
    if (Code < 0) Code = tok::END;
    Value = TSemantic();
    if (Code == tok::IDENTIFIER) {
      Value.Node = TokenValue.Id;
      TokenValue.Id = nullptr;
    } else if (Code == tok::NUMBER || Code == tok::BADNUMBER) {
      Value.Code = TokenValue.Number;
    }
  }
  TSemantic TakeValue() {
    TSemantic value = Value;
    Value = TSemantic();
    Code = NoLookahead;
    return value;
  }
  void Discard() {
    TSemantic value = TakeValue();
    DestroyNode(value.Node);
  }

 private:
  TSemantic Value;
};

int32_t SymbolOf(const TGrammarTables& t, int32_t code) {
  if (code < 0 || code > t.MaxTokenCode) return UndefinedSymbol;
  return t.Translate[static_cast<size_t>(code)];
}

bool HasDefaultReduction(const TGrammarTables& t, int32_t state) {
  return t.Pact[static_cast<size_t>(state)] == t.PactNinf;
}

// The table entry of a state for a terminal symbol: above 0 a shift target, below 0 a reduction by
// the negated bison rule, 0 no entry (an error).
int32_t ActionEntry(const TGrammarTables& t, int32_t state, int32_t symbol) {
  const int32_t index = t.Pact[static_cast<size_t>(state)] + symbol;
  if (index < 0 || index > t.Last || t.Check[static_cast<size_t>(index)] != symbol) {
    return -t.DefAct[static_cast<size_t>(state)];
  }
  const int32_t entry = t.Table[static_cast<size_t>(index)];
  return entry == t.TableNinf ? 0 : entry;
}

int32_t GotoState(const TGrammarTables& t, int32_t state, int32_t lhsSymbol) {
  const int32_t nonterminal = lhsSymbol - t.TokenCount;
  const int32_t index = t.PGoto[static_cast<size_t>(nonterminal)] + state;
  if (index >= 0 && index <= t.Last && t.Check[static_cast<size_t>(index)] == state) {
    return t.Table[static_cast<size_t>(index)];
  }
  return t.DefGoto[static_cast<size_t>(nonterminal)];
}

// The target of the state's shift on the error symbol, 0 when it has none.
int32_t ErrorShiftTarget(const TGrammarTables& t, int32_t state) {
  if (HasDefaultReduction(t, state)) return 0;
  const int32_t entry = ActionEntry(t, state, ErrorSymbol);
  return entry > 0 ? entry : 0;
}

}  // namespace

int yyparse() {
  const TGrammarTables& t = parse::GrammarTables();
  TParseStacks stacks;
  TLookahead lookahead;
  TSemantic value;
  int32_t state = 0;
  int32_t recovering = 0;

  enum class TStep { Push, Next, Error, Recover, Accept, Abort };
  TStep step = TStep::Push;
  int32_t rule = 0;  // the bison rule of a pending reduction
  for (;;) {
    switch (step) {
      case TStep::Push:
        if (!stacks.Push(state, value)) {
          DestroyNode(value.Node);
          ReportError("yyparse stack overflow");
          return 1;
        }
        step = TStep::Next;
        break;

      case TStep::Next: {
        const bool byDefault = HasDefaultReduction(t, state);
        if (!byDefault && lookahead.Code == NoLookahead) lookahead.Read();
        // Checked here, not only inside WriteFormatted: the character's display name is built first.
        if (TraceOn()) {
          WriteFormatted("state %d, char %d, '%s'", state, lookahead.Code,
                         CharDisplayName(lookahead.Code).c_str());
        }
        if (byDefault) {
          rule = t.DefAct[static_cast<size_t>(state)];
        } else {
          const int32_t entry = ActionEntry(t, state, SymbolOf(t, lookahead.Code));
          if (entry == 0) {
            step = TStep::Error;
            break;
          }
          if (entry > 0) {
            if (entry == t.FinalState) {
              step = TStep::Accept;
              break;
            }
            state = entry;
            value = lookahead.TakeValue();
            if (recovering > 0) --recovering;
            step = TStep::Push;
            break;
          }
          rule = -entry;
        }
        // Reduce by the rule.
        if (TraceOn()) WriteFormatted("reduce %d", rule - 1);
        const int32_t length = t.R2[static_cast<size_t>(rule)];
        TSemantic result;
        try {
          parse::RunAction(rule, stacks.TopValue(), result);
        } catch (...) {
          DestroyNode(result.Node);
          throw;
        }
        value = result;
        stacks.Pop(length);
        state = GotoState(t, stacks.TopState(), t.R1[static_cast<size_t>(rule)]);
        step = TStep::Push;
        break;
      }

      case TStep::Error:
        if (recovering == 0) ReportError("syntax error");
        step = TStep::Recover;
        break;

      case TStep::Recover:
        if (recovering <= 2) {
          recovering = 3;
          while (stacks.Count() > 0 && ErrorShiftTarget(t, stacks.TopState()) == 0) {
            if (TraceOn()) {
              if (stacks.Count() >= 2) {
                WriteFormatted("error recovery pops state %d, uncovers %d", stacks.TopState(),
                               stacks.StateAt(stacks.Count() - 2));
              } else {
                WriteLine("error ecovery fails ... abort");
              }
            }
            stacks.Pop(1);
          }
          if (stacks.Count() == 0) {
            step = TStep::Abort;
            break;
          }
          state = ErrorShiftTarget(t, stacks.TopState());
          value = TSemantic();
          step = TStep::Push;
        } else {
          if (TraceOn()) {
            WriteFormatted("error recovery discards char %d (%s)", lookahead.Code,
                           CharDisplayName(lookahead.Code).c_str());
          }
          if (lookahead.Code == tok::END) {
            step = TStep::Abort;
            break;
          }
          lookahead.Discard();
          step = TStep::Next;
        }
        break;

      case TStep::Accept:
        return 0;
      case TStep::Abort:
        return 1;
    }
  }
}

int ParseCurrentSource() {
  struct TIdleGuard {
    ~TIdleGuard() { RestoreIdleInput(); }
  } guard;
  return yyparse();
}

}  // namespace tambrel
