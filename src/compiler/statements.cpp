#include "compiler/statements.h"

#include <filesystem>
#include <system_error>
#include "compiler/expansion.h"
#include "support/checked_math.h"

namespace tambrel {

namespace {

// The name of a TId handed over by the parser, which the new definition owns and destroys.
std::string TakeName(TId* Id) {
  std::unique_ptr<TId> owned(Id);
  return owned ? owned->Name : std::string();
}

// Restores the call depth however the nested expansion ends.
class TCallDepthGuard {
 public:
  explicit TCallDepthGuard(TExpansion& AOut) : Out(AOut) { ++Out.CallDepth; }
  ~TCallDepthGuard() { --Out.CallDepth; }
  TCallDepthGuard(const TCallDepthGuard&) = delete;
  TCallDepthGuard& operator=(const TCallDepthGuard&) = delete;

 private:
  TExpansion& Out;
};

}  // namespace

TTimedDefinition::TTimedDefinition(TExpr* ATimeExpr, std::string AName)
    : TNamedDefinition(std::move(AName)), TimeExpr(ATimeExpr) {
  SetParent(TimeExpr.get(), this);
}

bool TTimedDefinition::Resolve() {
  bool ok = ResolveName();
  if (ok) {
    if (TimeExpr)
      ok = TimeExpr->Resolve();
    else
      ok = FTimeFolded;  // a recompile of a time folded the first time
  }
  Resolved = ok;
  if (Resolved) {
    if (TimeExpr) {
      IsConstant = TimeExpr->IsConstant;
      if (IsConstant) {
        Value = TimeExpr->Value;
        TimeExpr.reset();
        FTimeFolded = true;
      }
    } else {
      IsConstant = true;
    }
  }
  return Resolved;
}

void TTimedDefinition::DumpDetails(std::ostream& File, int32_t Level) {
  if (TimeExpr) {
    DumpLine(File, Level, "Time =");
    TimeExpr->DumpList(File, Level + 1);
  }
  TNamedDefinition::DumpDetails(File, Level);
}

TAction::TAction(TExpr* ATimeExpr, TId* AName, TExpr* AArgs) : TAction(ATimeExpr, TakeName(AName), AArgs) {}

TAction::TAction(TExpr* ATimeExpr, std::string AName, TExpr* AArgs)
    : TTimedDefinition(ATimeExpr, std::move(AName)), Args(AArgs), FIsOut(SameName(Name, "OUT")) {
  SetParent(Args.get(), this);
  ExpandsInProcedure = true;
}

bool TAction::Resolve() {
  FIsOut = SameName(Name, "OUT");  // the name may have been set again since construction
  if (Args && !Args->ResolveList()) {
    Resolved = false;
    return false;
  }
  const bool named = TTimedDefinition::Resolve();
  FCallee = named ? dynamic_cast<TProcDef*>(Resolver) : nullptr;
  Resolved = FCallee != nullptr;
  return Resolved;
}

bool TAction::EvaluateArgs() {
  // One pass over the list; after the first expansion the array keeps its storage, so a loop pass
  // allocates nothing here.
  ArgValues.clear();
  bool all = true;
  for (TDefinition* d = Args.get(); d; d = d->Next) {
    int32_t v = 0;
    if (!static_cast<TExpr*>(d)->EvaluateFast(v)) {
      ReportError(d, "Bad argument, can't be evaluated");
      all = false;
    }
    ArgValues.push_back(v);
  }
  ArgCount = static_cast<int32_t>(ArgValues.size());
  return all;
}

void TAction::Expand(uint32_t Time, TExpansion& Out) {
  if (!IsConstant) {
    int32_t t = 0;
    const bool ok = TimeExpr && TimeExpr->EvaluateFast(t);
    Value = t;
    if (!ok) {
      ReportError(this, "Bad action time, can't be evaluated");
      return;
    }
  }
  if (Value < 0) {
    ReportErrorFmt(this, "Action time (%d) must be >= 0", Value);
    return;
  }
  if (!EvaluateArgs()) return;
  const uint32_t at = CheckedAddU32(Time, static_cast<uint32_t>(Value));
  if (FIsOut) {
    if (ArgCount <= 1)
      Out.Append(std::make_unique<TTimedNop>(at));
    else
      Out.Append(TTimedData::CreateFromValues(at, ArgValues[0], ArgCount - 1, ArgValues.data() + 1));
    return;
  }
  if (!FCallee) return;  // never resolved: nothing to call
  FCallee->BindArguments(ArgCount, ArgValues.data());
  if (Out.CallDepth >= Out.MaxCallDepth) {
    ReportErrorFmt(this, "Calls nested deeper than %d levels at the call of '%s': endless recursion?",
                   Out.MaxCallDepth, Name.c_str());
    throw ECallTooDeep();
  }
  TCallDepthGuard depth(Out);
  FCallee->Expand(at, Out);
}

void TAction::DumpDetails(std::ostream& File, int32_t Level) {
  TTimedDefinition::DumpDetails(File, Level);
  if (Args) {
    DumpLine(File, Level, "Args =");
    Args->DumpList(File, Level + 1);
  }
}

TProcDef::TProcDef(TId* AName, TId* AParams, TDefinition* ADefinitions)
    : TProcDef(TakeName(AName), AParams, ADefinitions) {}

TProcDef::TProcDef(std::string AName, TId* AParams, TDefinition* ADefinitions)
    : TNamedDefinition(std::move(AName)), Params(AParams), Definitions(ADefinitions) {
  SetParent(Params.get(), this);
  SetParent(Definitions.get(), this);
  for (TDefinition* p = Params.get(); p; p = p->Next) {
    p->Declared = true;
    p->Resolved = true;
    p->IsConstant = false;
  }
  Declared = true;
}

bool TProcDef::ResolveBody() {
  if (!Definitions) return true;
  // Built afresh for each resolution and dropped after it, so it never outlives a change of the list.
  struct TIndexed {
    std::unique_ptr<TBodyIndex>& Index;
    ~TIndexed() { Index.reset(); }
  } indexed{FBodyIndex};
  if (ListLength(Definitions.get()) >= TBodyIndex::MinMembers)
    FBodyIndex = std::make_unique<TBodyIndex>(Definitions.get());
  return Definitions->ResolveList();
}

const TBodyIndex* TProcDef::BodyIndexHolding(const TDefinition* Member) const {
  return FBodyIndex && FBodyIndex->Holds(Member) ? FBodyIndex.get() : nullptr;
}

bool TProcDef::Resolve() {
  Resolved = ResolveBody();
  return Resolved;
}

TDefinition* TProcDef::Lookup(const std::string& Key) {
  if (TDefinition* parameter = FindInList(Params.get(), Key)) return parameter;
  return TDefinition::Lookup(Key);
}

void TProcDef::ExpandBody(uint32_t Time, TExpansion& Out, bool EveryStatement) {
  for (TDefinition* d = Definitions.get(); d; d = d->Next)
    if (EveryStatement || d->ExpandsInProcedure) d->Expand(Time, Out);
}

void TProcDef::Expand(uint32_t Time, TExpansion& Out) {
  ExpandBody(Time, Out, false);
}

void TProcDef::BindArguments(int32_t Count, const int32_t* Values) {
  const int32_t n = ParamCount();
  if (n != Count) {
    ReportErrorFmt(this, "Procedure has %d parameters, but was called with %d arguments", n, Count);
    return;
  }
  int32_t i = 0;
  for (TDefinition* p = Params.get(); p; p = p->Next) p->Value = Values[i++];
}

void TProcDef::DumpDetails(std::ostream& File, int32_t Level) {
  TNamedDefinition::DumpDetails(File, Level);
  if (Params) {
    DumpLine(File, Level, "Params =");
    Params->DumpList(File, Level + 1);
  }
  if (Definitions) {
    DumpLine(File, Level, "Definitions =");
    Definitions->DumpList(File, Level + 1);
  }
}

TConstDef::TConstDef(TId* AName, TExpr* AExpr) : TConstDef(TakeName(AName), AExpr) {}

TConstDef::TConstDef(std::string AName, TExpr* AExpr) : TNamedDefinition(std::move(AName)), Expr(AExpr) {
  SetParent(Expr.get(), this);
}

bool TConstDef::Resolve() {
  if (!Expr) {
    // Either resolved by an earlier compile of the same tree, or built without an expression.
    Resolved = Declared;
    return Resolved;
  }
  Resolved = Expr->Resolve();
  if (Resolved) {
    int32_t v = 0;
    Resolved = static_cast<TExpr*>(Expr.get())->Evaluate(v);
    Value = v;
  }
  if (Resolved) {
    Expr.reset();
    Declared = true;
    IsConstant = true;
  }
  return Resolved;
}

void TConstDef::DumpDetails(std::ostream& File, int32_t Level) {
  TNamedDefinition::DumpDetails(File, Level);
  if (Expr) {
    DumpLine(File, Level, "Right =");
    Expr->DumpList(File, Level + 1);
  }
}

TInclude::TInclude(TId* AName) : TInclude(TakeName(AName)) {}

TInclude::TInclude(std::string AName) : TNamedDefinition(std::move(AName)) {}

bool TInclude::Resolve() {
  std::error_code error;
  // A directory of that name is no file to read statements from.
  Resolved =
      !Name.empty() && std::filesystem::exists(Name, error) && !std::filesystem::is_directory(Name, error);
  if (!Resolved) ReportErrorFmt(this, "Include file \"%s\" not found", Name.c_str());
  return Resolved;
}

}  // namespace tambrel
