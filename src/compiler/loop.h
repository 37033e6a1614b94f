#pragma once
// The counted loop: loop(var, start, end [, step]); ( body );
#include "compiler/statements.h"

namespace tambrel {

// Owns the loop variable, the three expressions (the step may be null for a step of 1) and the body list.
class TLoopDef : public TProcDef {
 public:
  TLoopDef(TId* var, TExpr* start, TExpr* end, TExpr* incr, TDefinition* definitions);
  TOwnedList<TId> LoopVar;
  TOwnedList<TExpr> StartExpr;
  TOwnedList<TExpr> EndExpr;
  TOwnedList<TExpr> IncrExpr;

  bool Resolve() override;
  TDefinition* Lookup(const std::string& key) override;
  void Expand(uint32_t time, TExpansion& out) override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TLoopDef"; }
};

}  // namespace tambrel
