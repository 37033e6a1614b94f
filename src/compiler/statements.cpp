#include "compiler/statements.h"

#include <filesystem>
#include <system_error>
#include "compiler/expansion.h"
#include "support/checked_math.h"

namespace tambrel {

namespace {

// The name of a TId handed over by the parser, which the new definition owns and destroys.
std::string TakeName(TId* id) {
  std::unique_ptr<TId> owned(id);
  return owned ? owned->Name : std::string();
}

// Restores the call depth however the nested expansion ends.
class TCallDepthGuard {
 public:
  explicit TCallDepthGuard(TExpansion& out) : Out(out) { ++Out.CallDepth; }
  ~TCallDepthGuard() { --Out.CallDepth; }
  TCallDepthGuard(const TCallDepthGuard&) = delete;
  TCallDepthGuard& operator=(const TCallDepthGuard&) = delete;

 private:
  TExpansion& Out;
};

}  // namespace

TTimedDefinition::TTimedDefinition(TExpr* timeExpr, std::string name)
    : TNamedDefinition(std::move(name)), TimeExpr(timeExpr) {
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

void TTimedDefinition::DumpDetails(std::ostream& file, int32_t level) {
  if (TimeExpr) {
    DumpLine(file, level, "Time =");
    TimeExpr->DumpList(file, level + 1);
  }
  TNamedDefinition::DumpDetails(file, level);
}

TAction::TAction(TExpr* timeExpr, TId* name, TExpr* args) : TAction(timeExpr, TakeName(name), args) {}

TAction::TAction(TExpr* timeExpr, std::string name, TExpr* args)
    : TTimedDefinition(timeExpr, std::move(name)), Args(args), FIsOut(SameName(Name, "OUT")) {
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

void TAction::Expand(uint32_t time, TExpansion& out) {
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
  const uint32_t at = CheckedAddU32(time, static_cast<uint32_t>(Value));
  if (FIsOut) {
    if (ArgCount <= 1)
      out.Append(std::make_unique<TTimedNop>(at));
    else
      out.Append(TTimedData::CreateFromValues(at, ArgValues[0], ArgCount - 1, ArgValues.data() + 1));
    return;
  }
  if (!FCallee) return;  // never resolved: nothing to call
  FCallee->BindArguments(ArgCount, ArgValues.data());
  if (out.CallDepth >= out.MaxCallDepth) {
    ReportErrorFmt(this, "Calls nested deeper than %d levels at the call of '%s': endless recursion?",
                   out.MaxCallDepth, Name.c_str());
    throw ECallTooDeep();
  }
  TCallDepthGuard depth(out);
  FCallee->Expand(at, out);
}

void TAction::DumpDetails(std::ostream& file, int32_t level) {
  TTimedDefinition::DumpDetails(file, level);
  if (Args) {
    DumpLine(file, level, "Args =");
    Args->DumpList(file, level + 1);
  }
}

TProcDef::TProcDef(TId* name, TId* params, TDefinition* definitions)
    : TProcDef(TakeName(name), params, definitions) {}

TProcDef::TProcDef(std::string name, TId* params, TDefinition* definitions)
    : TNamedDefinition(std::move(name)), Params(params), Definitions(definitions) {
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

const TBodyIndex* TProcDef::BodyIndexHolding(const TDefinition* member) const {
  return FBodyIndex && FBodyIndex->Holds(member) ? FBodyIndex.get() : nullptr;
}

bool TProcDef::Resolve() {
  Resolved = ResolveBody();
  return Resolved;
}

TDefinition* TProcDef::Lookup(const std::string& key) {
  if (TDefinition* parameter = FindInList(Params.get(), key)) return parameter;
  return TDefinition::Lookup(key);
}

void TProcDef::ExpandBody(uint32_t time, TExpansion& out, bool everyStatement) {
  for (TDefinition* d = Definitions.get(); d; d = d->Next)
    if (everyStatement || d->ExpandsInProcedure) d->Expand(time, out);
}

void TProcDef::Expand(uint32_t time, TExpansion& out) {
  ExpandBody(time, out, false);
}

void TProcDef::BindArguments(int32_t count, const int32_t* values) {
  const int32_t n = ParamCount();
  if (n != count) {
    ReportErrorFmt(this, "Procedure has %d parameters, but was called with %d arguments", n, count);
    return;
  }
  int32_t i = 0;
  for (TDefinition* p = Params.get(); p; p = p->Next) p->Value = values[i++];
}

void TProcDef::DumpDetails(std::ostream& file, int32_t level) {
  TNamedDefinition::DumpDetails(file, level);
  if (Params) {
    DumpLine(file, level, "Params =");
    Params->DumpList(file, level + 1);
  }
  if (Definitions) {
    DumpLine(file, level, "Definitions =");
    Definitions->DumpList(file, level + 1);
  }
}

TConstDef::TConstDef(TId* name, TExpr* expr) : TConstDef(TakeName(name), expr) {}

TConstDef::TConstDef(std::string name, TExpr* expr) : TNamedDefinition(std::move(name)), Expr(expr) {
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

void TConstDef::DumpDetails(std::ostream& file, int32_t level) {
  TNamedDefinition::DumpDetails(file, level);
  if (Expr) {
    DumpLine(file, level, "Right =");
    Expr->DumpList(file, level + 1);
  }
}

TInclude::TInclude(TId* name) : TInclude(TakeName(name)) {}

TInclude::TInclude(std::string name) : TNamedDefinition(std::move(name)) {}

bool TInclude::Resolve() {
  std::error_code error;
  // Only a regular file holds statements: a directory, a FIFO or a device of that name is none.
  Resolved = !Name.empty() && std::filesystem::is_regular_file(Name, error);
  if (!Resolved) ReportErrorFmt(this, "Include file \"%s\" not found", Name.c_str());
  return Resolved;
}

}  // namespace tambrel
