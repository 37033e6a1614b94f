#include "compiler/loop.h"

#include "compiler/expansion.h"
#include "support/checked_math.h"

namespace tambrel {

TLoopDef::TLoopDef(TId* AVar, TExpr* AStart, TExpr* AEnd, TExpr* AIncr, TDefinition* ADefinitions)
    : TProcDef(std::string("<loop>"), nullptr, ADefinitions),
      LoopVar(AVar),
      StartExpr(AStart),
      EndExpr(AEnd),
      IncrExpr(AIncr) {
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

TDefinition* TLoopDef::Lookup(const std::string& Key) {
  if (LoopVar && SameName(LoopVar->Name, Key)) return LoopVar.get();
  return TProcDef::Lookup(Key);
}

void TLoopDef::Expand(uint32_t Time, TExpansion& Out) {
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
    if (LoopVar) LoopVar->Value = i;
    ExpandBody(Time, Out, true);
  }
}

void TLoopDef::DumpDetails(std::ostream& File, int32_t Level) {
  TProcDef::DumpDetails(File, Level);
  if (LoopVar) {
    DumpLine(File, Level, "LoopVar =");
    LoopVar->DumpList(File, Level + 1);
  }
  if (StartExpr) {
    DumpLine(File, Level, "StartExpr =");
    StartExpr->DumpList(File, Level + 1);
  }
  if (EndExpr) {
    DumpLine(File, Level, "EndExpr =");
    EndExpr->DumpList(File, Level + 1);
  }
  if (IncrExpr) {
    DumpLine(File, Level, "IncrOption =");
    IncrExpr->DumpList(File, Level + 1);
  } else {
    DumpLine(File, Level, "IncrOption = 1");
  }
}

}  // namespace tambrel
