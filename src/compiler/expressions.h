#pragma once
// Integer expressions of a script: literals, names, unary and binary operators. Resolution folds every
// subtree whose operands are constant into its Value and destroys the operands.
#include <cstdint>
#include "compiler/definition.h"

namespace tambrel {

class TExpr : public TDefinition {
 public:
  // On failure leaves 0 in result after reporting every problem found; never changes the tree.
  virtual bool Evaluate(int32_t& result);
  const char* ClassName() const override { return "TExpr"; }

  // Evaluate without a virtual call for the leaves that expansion meets most: a folded expression
  // answers from its Value, a name bound to a parameter or loop variable from that cell.
  bool EvaluateFast(int32_t& result) {
    if (IsConstant) {
      result = Value;
      return true;
    }
    if (FCell) {
      result = *FCell;
      return true;
    }
    return Evaluate(result);
  }

 protected:
  // The cell a TVarExpr reads once it is bound to a declaration that is not constant; null otherwise.
  const int32_t* FCell = nullptr;
};

class TConstExpr : public TExpr {
 public:
  explicit TConstExpr(int32_t value);
  bool Resolve() override;
  bool Evaluate(int32_t& result) override;
  const char* ClassName() const override { return "TConstExpr"; }
};

// A name used as a value. Owns Ident.
class TVarExpr : public TExpr {
 public:
  explicit TVarExpr(TId* ident);
  TOwnedList<TId> Ident;
  bool Resolve() override;
  bool Evaluate(int32_t& result) override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TVarExpr"; }
};

enum TUnaryOp : uint8_t { uoNot = 0, uoMinus = 1, uoPlus = 2 };

// Owns Operand.
class TUnaryExpr : public TExpr {
 public:
  TUnaryExpr(int32_t op, TExpr* operand);
  uint8_t Op;
  TOwnedList<TExpr> Operand;
  bool Resolve() override;
  bool Evaluate(int32_t& result) override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TUnaryExpr"; }
};

enum TBinaryOp : uint8_t {
  boMult = 0,
  boDiv,
  boMod,
  boPlus,
  boMinus,
  boAnd,
  boOr,
  boXor,
  boEq,
  boNeq,
  boLt,
  boLe,
  boGe,
  boGt
};

// Owns Left and Right.
class TBinaryExpr : public TExpr {
 public:
  TBinaryExpr(int32_t op, TExpr* left, TExpr* right);
  uint8_t Op;
  TOwnedList<TExpr> Left;
  TOwnedList<TExpr> Right;
  bool Resolve() override;
  bool Evaluate(int32_t& result) override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TBinaryExpr"; }
};

// The dump texts of the operator codes; "<unhandled>" for any other code.
const char* UnaryOpText(int32_t op);
const char* BinaryOpText(int32_t op);

}  // namespace tambrel
