#include "compiler/expressions.h"

#include "support/checked_math.h"

namespace tambrel {

const char* UnaryOpText(int32_t op) {
  static const char* const texts[] = {"!", "-", "+"};
  return op >= 0 && op <= 2 ? texts[op] : "<unhandled>";
}

const char* BinaryOpText(int32_t op) {
  static const char* const texts[] = {"*", "/", "%",  "+", "-",  "&",  "|",
                                      "^", "=", "<>", "<", "<=", ">=", ">"};
  return op >= 0 && op <= 13 ? texts[op] : "<unhandled>";
}

bool TExpr::Evaluate(int32_t& result) {
  result = 0;
  IsConstant = false;
  ReportError(this,
              "\xC1"
              "bstract expression - unforeseen programming possibility, or something ....");
  return false;
}

TConstExpr::TConstExpr(int32_t value) {
  Value = value;
  Resolved = true;
  IsConstant = true;
}

bool TConstExpr::Resolve() {
  return true;
}

bool TConstExpr::Evaluate(int32_t& result) {
  result = Value;
  return true;
}

TVarExpr::TVarExpr(TId* ident) : Ident(ident) {
  SetParent(Ident.get(), this);
}

bool TVarExpr::Resolve() {
  FCell = nullptr;
  if (!Ident) {
    // Folded by an earlier compile of the same tree.
    Resolved = IsConstant;
    return Resolved;
  }
  Resolved = Ident->Resolve();
  if (!Resolved) return false;
  if (Ident->IsConstant) {
    TDefinition* declaration = Ident->Resolver;
    int32_t folded = 0;
    Evaluate(folded);
    Value = folded;
    IsConstant = true;
    Resolver = declaration;
    Ident.reset();
    return true;
  }
  IsConstant = false;
  // A procedure's cell too: it is never written, so the name reads 0 as it should.
  FCell = Ident->Resolver ? &Ident->Resolver->Value : nullptr;
  return true;
}

bool TVarExpr::Evaluate(int32_t& result) {
  if (IsConstant)
    result = Value;
  else
    result = Ident && Ident->Resolver ? Ident->Resolver->Value : 0;
  return true;
}

void TVarExpr::DumpDetails(std::ostream& file, int32_t level) {
  TExpr::DumpDetails(file, level);
  if (Ident) Ident->DumpList(file, level);
}

TUnaryExpr::TUnaryExpr(int32_t op, TExpr* operand) : Op(static_cast<uint8_t>(op)), Operand(operand) {
  SetParent(Operand.get(), this);
}

bool TUnaryExpr::Resolve() {
  if (!Operand && IsConstant) {
    Resolved = true;
    return true;
  }
  Resolved = Operand && Operand->Resolve();
  if (Resolved && Operand->IsConstant) {
    int32_t folded = 0;
    IsConstant = Evaluate(folded);
    Value = folded;
  } else {
    IsConstant = false;
  }
  if (IsConstant) Operand.reset();
  return Resolved;
}

bool TUnaryExpr::Evaluate(int32_t& result) {
  if (IsConstant) {
    result = Value;
    return true;
  }
  result = 0;
  if (Op > uoPlus || !Operand) {
    ReportError(this, "Unhandled unary expression type during evaluation.");
    return false;
  }
  int32_t v = 0;
  const bool ok = Operand->EvaluateFast(v);
  if (ok) {
    if (Op == uoNot)
      v = ~v;
    else if (Op == uoMinus)
      v = CheckedNeg(v);
  }
  result = v;
  return ok;
}

void TUnaryExpr::DumpDetails(std::ostream& file, int32_t level) {
  TExpr::DumpDetails(file, level);
  DumpFmt(file, level, "UnUp = '%s'", UnaryOpText(Op));
  if (Operand) {
    DumpLine(file, level, "Expr =");
    Operand->DumpList(file, level + 1);
  }
}

TBinaryExpr::TBinaryExpr(int32_t op, TExpr* left, TExpr* right)
    : Op(static_cast<uint8_t>(op)), Left(left), Right(right) {
  SetParent(Left.get(), this);
  SetParent(Right.get(), this);
}

bool TBinaryExpr::Resolve() {
  if (!Left && !Right && IsConstant) {
    Resolved = true;
    return true;
  }
  Resolved = Left && Left->Resolve() && Right && Right->Resolve();
  if (Resolved && Left->IsConstant && Right->IsConstant) {
    int32_t folded = 0;
    IsConstant = Evaluate(folded);
    Value = folded;
  } else {
    IsConstant = false;
  }
  if (IsConstant) {
    Left.reset();
    Right.reset();
  }
  return Resolved;
}

bool TBinaryExpr::Evaluate(int32_t& result) {
  if (IsConstant) {
    result = Value;
    return true;
  }
  result = 0;
  int32_t a = 0;
  int32_t b = 0;
  const bool leftOk = Left && Left->EvaluateFast(a);
  const bool rightOk = Right && Right->EvaluateFast(b);
  bool ok = leftOk && rightOk;
  if ((Op == boDiv || Op == boMod) && b == 0) {
    ReportError(Right.get(), "Division by 0");
    ok = false;
  }
  if (!ok) {
    ReportError(this, "Bad parameter(s) for binop");
    return false;
  }
  switch (Op) {
    case boMult:
      result = CheckedMul(a, b);
      break;
    case boDiv:
      if (a == INT32_MIN && b == -1) throw EIntOverflow();
      result = a / b;
      break;
    case boMod:
      if (a == INT32_MIN && b == -1) throw EIntOverflow();
      result = a % b;
      break;
    case boPlus:
      result = CheckedAdd(a, b);
      break;
    case boMinus:
      result = CheckedSub(a, b);
      break;
    case boAnd:
      result = a & b;
      break;
    case boOr:
      result = a | b;
      break;
    case boXor:
      result = a ^ b;
      break;
    case boEq:
      result = a == b ? 1 : 0;
      break;
    case boNeq:
      result = a != b ? 1 : 0;
      break;
    case boLt:
      result = a < b ? 1 : 0;
      break;
    case boLe:
      result = a <= b ? 1 : 0;
      break;
    case boGe:
      result = a >= b ? 1 : 0;
      break;
    case boGt:
      result = a > b ? 1 : 0;
      break;
    default:
      ReportError(this, "Unhandled binary operator");
      result = 0;
      return false;
  }
  return true;
}

void TBinaryExpr::DumpDetails(std::ostream& file, int32_t level) {
  TExpr::DumpDetails(file, level);
  DumpFmt(file, level, "BinOp = '%s'", BinaryOpText(Op));
  if (Left) {
    DumpLine(file, level, "Left =");
    Left->DumpList(file, level + 1);
  }
  if (Right) {
    DumpLine(file, level, "Right =");
    Right->DumpList(file, level + 1);
  }
}

}  // namespace tambrel
