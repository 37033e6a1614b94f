#pragma once
// The counted loop: loop(var, start, end [, step]); ( body );
#include "compiler/statements.h"

namespace tambrel {

// Owns the loop variable, the three expressions (AIncr may be null for a step of 1) and the body list.
class TLoopDef : public TProcDef {
 public:
  TLoopDef(TId* AVar, TExpr* AStart, TExpr* AEnd, TExpr* AIncr, TDefinition* ADefinitions);
  TOwnedList<TId> LoopVar;
  TOwnedList<TExpr> StartExpr;
  TOwnedList<TExpr> EndExpr;
  TOwnedList<TExpr> IncrExpr;

  bool Resolve() override;
  TDefinition* Lookup(const std::string& Key) override;
  void Expand(uint32_t Time, TExpansion& Out) override;
  void DumpDetails(std::ostream& File, int32_t Level) override;
  const char* ClassName() const override { return "TLoopDef"; }
};

}  // namespace tambrel
