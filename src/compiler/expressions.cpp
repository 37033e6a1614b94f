#include "compiler/expressions.h"

#include "support/checked_math.h"

namespace tambrel {

const char* UnaryOpText(int32_t Op) {
  static const char* const texts[] = {"!", "-", "+"};
  return Op >= 0 && Op <= 2 ? texts[Op] : "<unhandled>";
}

const char* BinaryOpText(int32_t Op) {
  static const char* const texts[] = {"*", "/", "%",  "+", "-",  "&",  "|",
                                      "^", "=", "<>", "<", "<=", ">=", ">"};
  return Op >= 0 && Op <= 13 ? texts[Op] : "<unhandled>";
}

bool TExpr::Evaluate(int32_t& Result) {
  Result = 0;
  IsConstant = false;
  ReportError(this,
              "\xC1"
              "bstract expression - unforeseen programming possibility, or something ....");
  return false;
}

TConstExpr::TConstExpr(int32_t AValue) {
  Value = AValue;
  Resolved = true;
  IsConstant = true;
}

bool TConstExpr::Resolve() {
  return true;
}

bool TConstExpr::Evaluate(int32_t& Result) {
  Result = Value;
  return true;
}

TVarExpr::TVarExpr(TId* AIdent) : Ident(AIdent) {
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

bool TVarExpr::Evaluate(int32_t& Result) {
  if (IsConstant)
    Result = Value;
  else
    Result = Ident && Ident->Resolver ? Ident->Resolver->Value : 0;
  return true;
}

void TVarExpr::DumpDetails(std::ostream& File, int32_t Level) {
  TExpr::DumpDetails(File, Level);
  if (Ident) Ident->DumpList(File, Level);
}

TUnaryExpr::TUnaryExpr(int32_t AOp, TExpr* AOperand) : Op(static_cast<uint8_t>(AOp)), Operand(AOperand) {
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

bool TUnaryExpr::Evaluate(int32_t& Result) {
  if (IsConstant) {
    Result = Value;
    return true;
  }
  Result = 0;
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
  Result = v;
  return ok;
}

void TUnaryExpr::DumpDetails(std::ostream& File, int32_t Level) {
  TExpr::DumpDetails(File, Level);
  DumpFmt(File, Level, "UnUp = '%s'", UnaryOpText(Op));
  if (Operand) {
    DumpLine(File, Level, "Expr =");
    Operand->DumpList(File, Level + 1);
  }
}

TBinaryExpr::TBinaryExpr(int32_t AOp, TExpr* ALeft, TExpr* ARight)
    : Op(static_cast<uint8_t>(AOp)), Left(ALeft), Right(ARight) {
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

bool TBinaryExpr::Evaluate(int32_t& Result) {
  if (IsConstant) {
    Result = Value;
    return true;
  }
  Result = 0;
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
      Result = CheckedMul(a, b);
      break;
    case boDiv:
      if (a == INT32_MIN && b == -1) throw EIntOverflow();
      Result = a / b;
      break;
    case boMod:
      if (a == INT32_MIN && b == -1) throw EIntOverflow();
      Result = a % b;
      break;
    case boPlus:
      Result = CheckedAdd(a, b);
      break;
    case boMinus:
      Result = CheckedSub(a, b);
      break;
    case boAnd:
      Result = a & b;
      break;
    case boOr:
      Result = a | b;
      break;
    case boXor:
      Result = a ^ b;
      break;
    case boEq:
      Result = a == b ? 1 : 0;
      break;
    case boNeq:
      Result = a != b ? 1 : 0;
      break;
    case boLt:
      Result = a < b ? 1 : 0;
      break;
    case boLe:
      Result = a <= b ? 1 : 0;
      break;
    case boGe:
      Result = a >= b ? 1 : 0;
      break;
    case boGt:
      Result = a > b ? 1 : 0;
      break;
    default:
      ReportError(this, "Unhandled binary operator");
      Result = 0;
      return false;
  }
  return true;
}

void TBinaryExpr::DumpDetails(std::ostream& File, int32_t Level) {
  TExpr::DumpDetails(File, Level);
  DumpFmt(File, Level, "BinOp = '%s'", BinaryOpText(Op));
  if (Left) {
    DumpLine(File, Level, "Left =");
    Left->DumpList(File, Level + 1);
  }
  if (Right) {
    DumpLine(File, Level, "Right =");
    Right->DumpList(File, Level + 1);
  }
}

}  // namespace tambrel
