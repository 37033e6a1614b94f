#include "script/parse/tree_actions.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "compiler/definition.h"
#include "compiler/expressions.h"
#include "compiler/loop.h"
#include "compiler/statements.h"
#include "compiler/tambrel.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"
#include "support/app_paths.h"
#include "support/text_format.h"

namespace tambrel {
namespace {

// The parser's module state; window thread only, one parse at a time.
struct TParserState {
  std::string MainFileName;
  std::unique_ptr<TTambrel> ParseResult;
  bool IncludeDirectorySet = false;
  std::string IncludeDirectory;
  TSourceName Stamped;  // the file name last given to a node: looked up again only when the file changes
};

TParserState& ParserState() {
  static TParserState state;
  return state;
}

// Owns a node handed to an action until the constructor that keeps it has run.
template <class T>
TOwnedList<T> Own(TDefinition* node) {
  return TOwnedList<T>(static_cast<T*>(node));
}

template <class T>
T* Stamp(T* node) {
  TSourceName& name = ParserState().Stamped;
  if (name.str() != SourceFileName()) name = TSourceName(SourceFileName());
  node->SetPosition(Line(), Column(), name);
  return node;
}

}  // namespace

std::unique_ptr<TTambrel> TakeParseResult() {
  return std::move(ParserState().ParseResult);
}

void ClearParseResult() {
  ParserState().ParseResult.reset();
}

void SetIncludeDirectory(const std::string& directory) {
  ParserState().IncludeDirectory = directory;
  ParserState().IncludeDirectorySet = true;
}

std::string IncludeDirectory() {
  const TParserState& state = ParserState();
  return state.IncludeDirectorySet ? state.IncludeDirectory : AppPath() + "Include/";
}

namespace parse {

TDefinition* Take(TDefinition*& cell) {
  return std::exchange(cell, nullptr);
}

void TakeMainFileName() {
  ParserState().MainFileName = SourceFileName();
}

void SetParseResult(TDefinition* statements) {
  TParserState& state = ParserState();
  auto list = Own<TDefinition>(statements);
  auto root = std::make_unique<TTambrel>(state.MainFileName, list.release());
  root->SetPosition(Line(), Column(), state.MainFileName);
  state.ParseResult = std::move(root);
}

TDefinition* AppendToChain(TDefinition* head, TDefinition* tail, TDefinition* item) {
  if (head == nullptr) {
    Own<TDefinition>(item).reset();
    return nullptr;
  }
  if (item == nullptr) return tail;
  // Same links as AppendToList, without walking the list to find its end.
  tail->Next = item;
  item->Prev = tail;
  item->Next = nullptr;
  return item;
}

void OpenIncludeFile(TDefinition* include) {
  if (include == nullptr) return;
  auto* node = static_cast<TInclude*>(include);
  node->SetName(IncludeDirectory() + node->Name + ".tmb");
  OpenIncludeSource(node->Name);
}

int32_t Deeper(int32_t left, int32_t right) {
  const int32_t depth = std::max(left, right) + 1;
  if (depth <= MaxExpressionDepth) return depth;
  const std::string text = StrFormat("expression nested deeper than %d levels", MaxExpressionDepth);
  ReportError(text);
  throw ELex(StrFormat("FATAL ERROR : '%s'", text.c_str()));
}

TDefinition* NewAction(TDefinition* time, TDefinition* name, TDefinition* args) {
  auto t = Own<TExpr>(time);
  auto n = Own<TId>(name);
  auto a = Own<TExpr>(args);
  return Stamp(new TAction(t.release(), n.release(), a.release()));
}

TDefinition* NewProcedure(TDefinition* name, TDefinition* params, TDefinition* body) {
  auto n = Own<TId>(name);
  auto p = Own<TId>(params);
  auto b = Own<TDefinition>(body);
  return Stamp(new TProcDef(n.release(), p.release(), b.release()));
}

TDefinition* NewLoop(TDefinition* variable, TDefinition* from, TDefinition* to, TDefinition* step,
                     TDefinition* body) {
  auto v = Own<TId>(variable);
  auto f = Own<TExpr>(from);
  auto t = Own<TExpr>(to);
  auto s = Own<TExpr>(step);
  auto b = Own<TDefinition>(body);
  return Stamp(new TLoopDef(v.release(), f.release(), t.release(), s.release(), b.release()));
}

TDefinition* NewConstant(TDefinition* name, TDefinition* value) {
  auto n = Own<TId>(name);
  auto v = Own<TExpr>(value);
  return Stamp(new TConstDef(n.release(), v.release()));
}

TDefinition* NewInclude(TDefinition* name) {
  auto n = Own<TId>(name);
  return Stamp(new TInclude(n.release()));
}

TDefinition* NewBinary(int32_t op, TDefinition* left, TDefinition* right) {
  auto l = Own<TExpr>(left);
  auto r = Own<TExpr>(right);
  return Stamp(new TBinaryExpr(op, l.release(), r.release()));
}

TDefinition* NewUnary(int32_t op, TDefinition* operand) {
  auto o = Own<TExpr>(operand);
  return Stamp(new TUnaryExpr(op, o.release()));
}

TDefinition* NewNumber(int32_t value) {
  return Stamp(new TConstExpr(value));
}

TDefinition* NewVariable(TDefinition* id) {
  auto i = Own<TId>(id);
  return Stamp(new TVarExpr(i.release()));
}

}  // namespace parse
}  // namespace tambrel
