#include "compiler/definition.h"

#include <cstdarg>
#include <vector>
#include "compiler/statements.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

}  // namespace

void TListDeleter::operator()(TDefinition* head) const {
  if (head) head->DestroyList();
}

TDefinition::TDefinition() = default;

TDefinition::~TDefinition() {
  if (Prev) Prev->Next = Next;
  if (Next) Next->Prev = Prev;
}

void TDefinition::SetPosition(int32_t line, int32_t column, TSourceName fileName) {
  Line = line;
  Column = column;
  FileName = fileName;
}

void TDefinition::SetPosition(int32_t line, int32_t column, const std::string& fileName) {
  SetPosition(line, column, TSourceName(fileName));
}

bool TDefinition::Resolve() {
  ReportError(this, "Abstract resolve - unforseen programming possibility, or something ...");
  Resolved = false;
  return false;
}

bool TDefinition::ResolveList() {
  bool all = true;
  TDefinition* d = this;
  try {
    for (; d; d = d->Next) {
      d->Resolve();
      all = all && d->Resolved;
    }
  } catch (...) {
    // An overflow while folding: the statement is what an editor shows, not the expression in it.
    if (dynamic_cast<TExpr*>(d) == nullptr) NoteFaultSite(d);
    throw;
  }
  return all;
}

TDefinition* TDefinition::Lookup(const std::string& key) {
  // Own list first, then up through the enclosing scopes, which look among their parameters in
  // their own Lookup. A member of a long body that is resolving asks the body's index instead of
  // walking the list.
  const auto* scope = dynamic_cast<const TProcDef*>(Parent);
  const TBodyIndex* index = scope ? scope->BodyIndexHolding(this) : nullptr;
  if (TDefinition* found = index ? index->Find(key) : FindInList(this, key)) return found;
  return Parent ? Parent->Lookup(key) : nullptr;
}

void TDefinition::Expand(uint32_t, TExpansion&) {}

void TDefinition::DestroyList() {
  // Last to first and without recursion: a top-level list may hold many thousands of statements.
  TDefinition* last = this;
  while (last->Next) last = last->Next;
  while (last != this) {
    TDefinition* before = last->Prev;
    delete last;
    last = before;
  }
  delete this;
}

void TDefinition::DumpList(std::ostream& file, int32_t level) {
  // The same lines as title, details and DumpNext in turn, without one stack frame per member.
  for (TDefinition* d = this; d; d = d->Next) {
    d->DumpTitle(file, level);
    d->DumpDetails(file, level + 1);
  }
}

void TDefinition::DumpNext(std::ostream& file, int32_t level) {
  if (Next) Next->DumpList(file, level);
}

void TDefinition::DumpTitle(std::ostream& file, int32_t level) {
  DumpLine(file, level, ClassName());
}

void TDefinition::DumpDetails(std::ostream& file, int32_t level) {
  if (IsConstant) DumpFmt(file, level, "constant = %d", Value);
  if (Resolved && Resolver && !Declared) {
    DumpLine(file, level, "Resolver =");
    Resolver->DumpBrief(file, level + 1);
  }
}

void TDefinition::DumpBrief(std::ostream& file, int32_t level) {
  DumpTitle(file, level);
  if (IsConstant) DumpFmt(file, level, "constant = %d", Value);
}

void TDefinition::ReportError(TDefinition* about, const std::string& message) {
  TErrorHandler* handler = nullptr;
  for (TDefinition* d = this; d && !handler; d = d->Parent) handler = d->ErrorHandler();
  if (!handler) return;
  std::string text = message;
  if (about)
    text = StrFormat("[%d,%d] in file \"%s\": \"%s\"", about->Line, about->Column, about->FileName.c_str(),
                     message.c_str());
  (*handler)(about, text);
}

void TDefinition::NoteFaultSite(TDefinition* statement) {
  for (TDefinition* d = this; d; d = d->Parent) {
    if (TDefinition** slot = d->FaultSiteSlot()) {
      if (*slot == nullptr) *slot = statement;
      return;
    }
  }
}

void TDefinition::ReportErrorFmt(TDefinition* about, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  ReportError(about, text);
}

void TDefinition::DumpLine(std::ostream& file, int32_t level, const std::string& text) {
  file << IndentText(level) << text << "\r\n";
}

void TDefinition::DumpFmt(std::ostream& file, int32_t level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  DumpLine(file, level, text);
}

void SetParent(TDefinition* head, TDefinition* owner) {
  for (TDefinition* d = head; d; d = d->Next) d->Parent = owner;
}

void AppendToList(TDefinition* head, TDefinition* item) {
  if (!head || !item) return;
  TDefinition* last = head;
  while (last->Next) last = last->Next;
  last->Next = item;
  item->Prev = last;
  item->Next = nullptr;
}

int32_t ListLength(const TDefinition* head) {
  int32_t n = 0;
  for (const TDefinition* d = head; d; d = d->Next) ++n;
  return n;
}

TDefinition* FindInList(TDefinition* member, const std::string& key) {
  if (!member) return nullptr;
  TDefinition* d = member;
  while (d->Prev) d = d->Prev;
  for (; d; d = d->Next) {
    if (!d->Declared) continue;
    auto* named = dynamic_cast<TNamedDefinition*>(d);
    if (named && SameName(named->Name, key)) return d;
  }
  return nullptr;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

TNamedDefinition::TNamedDefinition(std::string name) {
  SetName(std::move(name));
}

void TNamedDefinition::SetName(std::string name) {
  Name = std::move(name);
}

bool TNamedDefinition::ResolveName() {
  if (Declared) {
    Resolved = true;
    return true;
  }
  Resolver = Lookup(Name);
  if (!Resolver) {
    Resolved = false;
    ReportErrorFmt(this, "Undefined '%s'", Name.c_str());
    return false;
  }
  Resolved = true;
  IsConstant = Resolver->IsConstant;
  return true;
}

bool TNamedDefinition::Resolve() {
  return ResolveName();
}

void TNamedDefinition::DumpTitle(std::ostream& file, int32_t level) {
  DumpFmt(file, level, "%s( %s)", ClassName(), Name.c_str());
}

}  // namespace tambrel
