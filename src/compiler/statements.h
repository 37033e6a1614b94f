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
  TTimedDefinition(TExpr* ATimeExpr, std::string AName);
  TOwnedList<TExpr> TimeExpr;
  bool Resolve() override;
  void DumpDetails(std::ostream& File, int32_t Level) override;
  const char* ClassName() const override { return "TTimedDefinition"; }

 private:
  bool FTimeFolded = false;  // the time expression was folded into Value and destroyed
};

// "time name(args)". Takes the name from AName and destroys that TId; owns ATimeExpr and the whole
// argument list AArgs (may be null).
class TAction : public TTimedDefinition {
 public:
  TAction(TExpr* ATimeExpr, TId* AName, TExpr* AArgs);
  TAction(TExpr* ATimeExpr, std::string AName, TExpr* AArgs);
  TOwnedList<TExpr> Args;
  std::vector<int32_t> ArgValues;  // refilled at every expansion
  int32_t ArgCount = 0;

  bool Resolve() override;
  void Expand(uint32_t Time, TExpansion& Out) override;
  bool EvaluateArgs();
  void DumpDetails(std::ostream& File, int32_t Level) override;
  const char* ClassName() const override { return "TAction"; }

 private:
  bool FIsOut;                  // the output built-in, whatever the name resolves to
  TProcDef* FCallee = nullptr;  // Resolver as the procedure it must be
};

// A procedure. Takes the name from AName and destroys that TId; owns the parameter list (TIds, may be
// null) and the body list (may be null).
class TProcDef : public TNamedDefinition {
 public:
  TProcDef(TId* AName, TId* AParams, TDefinition* ADefinitions);
  TProcDef(std::string AName, TId* AParams, TDefinition* ADefinitions);
  TOwnedList<TId> Params;
  TOwnedList<TDefinition> Definitions;

  bool Resolve() override;
  TDefinition* Lookup(const std::string& Key) override;
  void Expand(uint32_t Time, TExpansion& Out) override;
  virtual void BindArguments(int32_t Count, const int32_t* Values);
  int32_t ParamCount() const { return ListLength(Params.get()); }
  void DumpDetails(std::ostream& File, int32_t Level) override;
  const char* ClassName() const override { return "TProcDef"; }
  // The body's index while the body resolves and holds Member; null otherwise.
  const TBodyIndex* BodyIndexHolding(const TDefinition* Member) const;

 protected:
  // Resolves every statement of the body, with the body indexed by name while it does when it is long.
  bool ResolveBody();
  void ExpandBody(uint32_t Time, TExpansion& Out, bool EveryStatement);

 private:
  std::unique_ptr<TBodyIndex> FBodyIndex;  // only during ResolveBody
};

// "const name = expr". Takes the name from AName and destroys that TId; owns AExpr until resolved.
class TConstDef : public TNamedDefinition {
 public:
  TConstDef(TId* AName, TExpr* AExpr);
  TConstDef(std::string AName, TExpr* AExpr);
  TOwnedList<TExpr> Expr;
  bool Resolve() override;
  void DumpDetails(std::ostream& File, int32_t Level) override;
  const char* ClassName() const override { return "TConstDef"; }
};

// "include name". Takes the name from AName and destroys that TId; the parser then calls SetName with
// the full path of the file.
class TInclude : public TNamedDefinition {
 public:
  explicit TInclude(TId* AName);
  explicit TInclude(std::string AName);
  bool Resolve() override;
  const char* ClassName() const override { return "TInclude"; }
};

}  // namespace tambrel
