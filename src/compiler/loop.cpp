#include "compiler/loop.h"

#include "compiler/expansion.h"
#include "support/checked_math.h"

namespace tambrel {

TLoopDef::TLoopDef(TId* var, TExpr* start, TExpr* end, TExpr* incr, TDefinition* definitions)
    : TProcDef(std::string("<loop>"), nullptr, definitions),
      LoopVar(var),
      StartExpr(start),
      EndExpr(end),
      IncrExpr(incr) {
  SetParent(LoopVar.get(), this);
  SetParent(StartExpr.get(), this);
  SetParent(EndExpr.get(), this);
  SetParent(IncrExpr.get(), this);
  if (LoopVar) LoopVar->Declared = true;
  ExpandsInProcedure = true;
}

bool TLoopDef::Resolve() {
  if (LoopVar) LoopVar->Resolved = true;
  Resolved = StartExpr && StartExpr->Resolve() && EndExpr && EndExpr->Resolve() &&
             (!IncrExpr || IncrExpr->Resolve()) && ResolveBody();
  return Resolved;
}

TDefinition* TLoopDef::Lookup(const std::string& key) {
  if (LoopVar && SameName(LoopVar->Name, key)) return LoopVar.get();
  return TProcDef::Lookup(key);
}

void TLoopDef::Expand(uint32_t time, TExpansion& out) {
  int32_t first = 0;
  if (!StartExpr || !StartExpr->Evaluate(first)) {
    ReportError(StartExpr.get(), "Bad start expression, can't be evaluated");
    return;
  }
  int32_t last = 0;
  if (!EndExpr || !EndExpr->Evaluate(last)) {
    ReportError(EndExpr.get(), "Bad end expression, can't be evaluated");
    return;
  }
  int32_t step = 1;
  if (IncrExpr) {
    if (!IncrExpr->Evaluate(step)) {
      ReportError(IncrExpr.get(), "Bad increment expression, can't be evaluated");
      return;
    }
    if (step <= 0) {
      ReportErrorFmt(IncrExpr.get(), "Increment expression (%d) <= 0, loop expansion skipped", step);
      return;
    }
  }
  if (first > last) {
    ReportError(StartExpr.get(), "Start expression > end expression, loop expansion skipped");
    return;
  }
  for (int32_t i = first; i <= last; i = CheckedAdd(i, step)) {
    out.Step();
    if (LoopVar) LoopVar->Value = i;
    ExpandBody(time, out, true);
  }
}

void TLoopDef::DumpDetails(std::ostream& file, int32_t level) {
  TProcDef::DumpDetails(file, level);
  if (LoopVar) {
    DumpLine(file, level, "LoopVar =");
    LoopVar->DumpList(file, level + 1);
  }
  if (StartExpr) {
    DumpLine(file, level, "StartExpr =");
    StartExpr->DumpList(file, level + 1);
  }
  if (EndExpr) {
    DumpLine(file, level, "EndExpr =");
    EndExpr->DumpList(file, level + 1);
  }
  if (IncrExpr) {
    DumpLine(file, level, "IncrOption =");
    IncrExpr->DumpList(file, level + 1);
  } else {
    DumpLine(file, level, "IncrOption = 1");
  }
}

}  // namespace tambrel
