#pragma once
// The statements of a script: timed actions (calls and the output built-in), procedures, constants and
// includes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "compiler/body_index.h"
#include "compiler/definition.h"
#include "compiler/expressions.h"

namespace tambrel {

class TProcDef;

// A named definition with a time expression. Owns TimeExpr.
class TTimedDefinition : public TNamedDefinition {
 public:
  TTimedDefinition(TExpr* timeExpr, std::string name);
  TOwnedList<TExpr> TimeExpr;
  bool Resolve() override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TTimedDefinition"; }

 private:
  bool FTimeFolded = false;  // the time expression was folded into Value and destroyed
};

// "time name(args)". Takes the name from the TId and destroys it; owns timeExpr and the whole
// argument list args (may be null).
class TAction : public TTimedDefinition {
 public:
  TAction(TExpr* timeExpr, TId* name, TExpr* args);
  TAction(TExpr* timeExpr, std::string name, TExpr* args);
  TOwnedList<TExpr> Args;
  std::vector<int32_t> ArgValues;  // refilled at every expansion
  int32_t ArgCount = 0;

  bool Resolve() override;
  void Expand(uint32_t time, TExpansion& out) override;
  bool EvaluateArgs();
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TAction"; }

 private:
  bool FIsOut;                  // the output built-in, whatever the name resolves to
  TProcDef* FCallee = nullptr;  // Resolver as the procedure it must be
};

// A procedure. Takes the name from the TId and destroys it; owns the parameter list (TIds, may be
// null) and the body list (may be null).
class TProcDef : public TNamedDefinition {
 public:
  TProcDef(TId* name, TId* params, TDefinition* definitions);
  TProcDef(std::string name, TId* params, TDefinition* definitions);
  TOwnedList<TId> Params;
  TOwnedList<TDefinition> Definitions;

  bool Resolve() override;
  TDefinition* Lookup(const std::string& key) override;
  void Expand(uint32_t time, TExpansion& out) override;
  virtual void BindArguments(int32_t count, const int32_t* values);
  int32_t ParamCount() const { return ListLength(Params.get()); }
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TProcDef"; }
  // The body's index while the body resolves and holds member; null otherwise.
  const TBodyIndex* BodyIndexHolding(const TDefinition* member) const;

 protected:
  // Resolves every statement of the body, with the body indexed by name while it does when it is long.
  bool ResolveBody();
  void ExpandBody(uint32_t time, TExpansion& out, bool everyStatement);

 private:
  std::unique_ptr<TBodyIndex> FBodyIndex;  // only during ResolveBody
};

// "const name = expr". Takes the name from the TId and destroys it; owns expr until resolved.
class TConstDef : public TNamedDefinition {
 public:
  TConstDef(TId* name, TExpr* expr);
  TConstDef(std::string name, TExpr* expr);
  TOwnedList<TExpr> Expr;
  bool Resolve() override;
  void DumpDetails(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TConstDef"; }
};

// "include name". Takes the name from the TId and destroys it; the parser then calls SetName with
// the full path of the file.
class TInclude : public TNamedDefinition {
 public:
  explicit TInclude(TId* name);
  explicit TInclude(std::string name);
  bool Resolve() override;
  const char* ClassName() const override { return "TInclude"; }
};

}  // namespace tambrel
