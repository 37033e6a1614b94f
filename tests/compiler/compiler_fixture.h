#pragma once
// Trees built through the constructors the parser calls, compiled without a player, with the messages
// and the generated items collected for the assertions.
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include "compiler/loop.h"
#include "compiler/tambrel.h"

namespace tambrel {
namespace {

inline TExpr* Num(int32_t v) {
  return new TConstExpr(v);
}
inline TExpr* Var(const char* n) {
  return new TVarExpr(new TId(n));
}
inline TExpr* Bin(int32_t op, TExpr* l, TExpr* r) {
  return new TBinaryExpr(op, l, r);
}
template <class T>
T* Chain(std::initializer_list<T*> items) {
  T* head = nullptr;
  for (T* i : items) {
    if (!head)
      head = i;
    else
      AppendToList(head, i);
  }
  return head;
}

// The definitions linked into one list.
inline TDefinition* Defs(std::initializer_list<TDefinition*> items) {
  return Chain<TDefinition>(items);
}

// A procedure "name(param); ( body );", or "name; ( body );" without a parameter.
inline TProcDef* Proc(const std::string& name, const char* param, TDefinition* body) {
  return new TProcDef(name, param ? new TId(param) : nullptr, body);
}

// loop(var, first, last[, step]); ( body );
inline TLoopDef* Loop(const char* var, TExpr* first, TExpr* last, TExpr* step, TDefinition* body) {
  return new TLoopDef(new TId(var), first, last, step, body);
}

// An action "time name(args)"; no argument list at all for an empty one.
inline TAction* Act(TExpr* time, const char* name, std::initializer_list<TExpr*> args = {}) {
  return new TAction(time, std::string(name), args.size() ? Chain<TExpr>(args) : nullptr);
}

// The node, placed at line and column of the file.
template <class T>
T* At(T* node, int32_t line, int32_t column, const std::string& file = "song.tmb") {
  node->SetPosition(line, column, file);
  return node;
}

// A message about a definition without a recorded position (identifiers, hand-built nodes).
inline std::string Unplaced(const std::string& message) {
  return "[0,0] in file \"\": \"" + message + "\"";
}

struct Compiled {
  std::unique_ptr<TTambrel> Root;
  std::vector<std::string> Messages;
  int32_t Result = -1;
  explicit Compiled(TDefinition* defs, std::string name = "song.tmb") : Root(new TTambrel(name, defs)) {
    Root->OnError = [this](TDefinition*, const std::string& t) { Messages.push_back(t); };
  }
  int32_t Run() { return Result = Root->Compile(nullptr, ""); }
  std::string Dump() {
    std::ostringstream s;
    Root->DumpList(s, 0);
    return s.str();
  }
  std::vector<std::string> Items() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < Root->Batch->Count(); ++i) out.push_back(Root->Batch->Items(i)->Dump());
    return out;
  }
};

// The bytes of the data item at index i of the root's batch, or nothing when it is no data item.
inline std::vector<int> BytesAt(const TTambrel& root, int32_t i) {
  std::vector<int> bytes;
  if (const auto* d = dynamic_cast<const TTimedData*>(root.Batch->Items(i)))
    for (int32_t k = 0; k < d->Count(); ++k) bytes.push_back(d->Bytes(k));
  return bytes;
}

}  // namespace
}  // namespace tambrel
