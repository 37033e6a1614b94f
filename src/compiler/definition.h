#pragma once
// The definition tree of a parsed Tambrel: what every node shares (position, links, value cell), the
// lists nodes are kept in, name lookup through the enclosing scopes, error reporting up to the root and
// the text dump.
//
// Ownership: a list is a chain linked through Next/Prev and is owned by whoever holds its head in a
// TOwnedList (destroying the head destroys the whole chain). Every constructor that takes child
// pointers takes ownership of the complete lists they head and becomes their Parent. Lookups and
// Resolver are plain references and never own.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include "compiler/source_name.h"

namespace tambrel {

class TExpansion;

class TDefinition;

// Receives (the definition a message is about, the full text); installed on a script root.
using TErrorHandler = std::function<void(TDefinition* about, const std::string& text)>;

// Destroys a whole list from its head (DestroyList).
struct TListDeleter {
  void operator()(TDefinition* head) const;
};
template <class T>
using TOwnedList = std::unique_ptr<T, TListDeleter>;

class TDefinition {
 public:
  TDefinition();
  // Unlinks itself from its list; the children it owns go with it.
  virtual ~TDefinition();
  TDefinition(const TDefinition&) = delete;
  TDefinition& operator=(const TDefinition&) = delete;

  // Set by the parser after construction.
  void SetPosition(int32_t line, int32_t column, TSourceName fileName);
  void SetPosition(int32_t line, int32_t column, const std::string& fileName);

  TSourceName FileName;  // without directory; empty when none was recorded
  int32_t Line = 0;
  int32_t Column = 0;
  TDefinition* Parent = nullptr;  // the owner and next outer scope
  TDefinition* Next = nullptr;
  TDefinition* Prev = nullptr;
  bool Resolved = false;
  TDefinition* Resolver = nullptr;  // the declaration a name was bound to; never owned
  bool Declared = false;
  bool IsConstant = false;

 protected:
  // Whether a procedure's body expands this statement (actions and loops do; the rest only in loops).
  // Here, beside the other flags, so that it takes no padding of its own: a node stays at 72 bytes.
  bool ExpandsInProcedure = false;

 public:
  int32_t Value = 0;  // the value cell

  virtual bool Resolve();
  // On the head of a list: resolves every member, true when all resolved.
  virtual bool ResolveList();
  // key is a name in any letter case.
  virtual TDefinition* Lookup(const std::string& key);
  virtual void Expand(uint32_t time, TExpansion& out);
  // Destroys every definition after this one in its list, then this one.
  virtual void DestroyList();
  virtual void DumpList(std::ostream& file, int32_t level);
  virtual void DumpNext(std::ostream& file, int32_t level);
  virtual void DumpTitle(std::ostream& file, int32_t level);
  virtual void DumpDetails(std::ostream& file, int32_t level);
  virtual void DumpBrief(std::ostream& file, int32_t level);

  virtual const char* ClassName() const { return "TDefinition"; }

  void ReportError(TDefinition* about, const std::string& message);
  void ReportErrorFmt(TDefinition* about, const char* format, ...) __attribute__((format(printf, 3, 4)));
  static void DumpLine(std::ostream& file, int32_t level, const std::string& text);
  static void DumpFmt(std::ostream& file, int32_t level, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

 protected:
  // Where ReportError delivers: the nearest enclosing definition that has a handler (the root's
  // OnError). Plain nodes have none, and carry no handler field of their own.
  virtual TErrorHandler* ErrorHandler() { return nullptr; }
  // Where a fault that ends the compile records the statement it arose in (the root's); plain nodes
  // have none.
  virtual TDefinition** FaultSiteSlot() { return nullptr; }
  // Called on the way out of a fault by each statement it passes; the first, innermost, one is kept.
  void NoteFaultSite(TDefinition* statement);
  friend class TProcDef;
};

// List operations.
void SetParent(TDefinition* head, TDefinition* owner);
void AppendToList(TDefinition* head, TDefinition* item);
int32_t ListLength(const TDefinition* head);
// The first declared named member of member's list whose name equals key in any letter case.
TDefinition* FindInList(TDefinition* member, const std::string& key);
// Equal when ASCII letters are compared without their case, every other byte as it is.
bool SameName(const std::string& a, const std::string& b);

class TNamedDefinition : public TDefinition {
 public:
  explicit TNamedDefinition(std::string name);
  void SetName(std::string name);
  std::string Name;  // as written; compared with SameName

  bool Resolve() override;  // named resolution
  void DumpTitle(std::ostream& file, int32_t level) override;
  const char* ClassName() const override { return "TNamedDefinition"; }

 protected:
  bool ResolveName();
};

// An identifier: a parameter, a loop variable or the name inside a variable expression.
class TId : public TNamedDefinition {
 public:
  explicit TId(std::string name) : TNamedDefinition(std::move(name)) {}
  const char* ClassName() const override { return "TId"; }
};

}  // namespace tambrel
