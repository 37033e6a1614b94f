#include "compiler/definition.h"

#include <cstdarg>
#include <vector>
#include "compiler/statements.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

std::string VFormat(const char* Format, va_list Args) {
  va_list copy;
  va_copy(copy, Args);
  const int length = std::vsnprintf(nullptr, 0, Format, copy);
  va_end(copy);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, Format, Args);
  return text;
}

}  // namespace

void TListDeleter::operator()(TDefinition* Head) const {
  if (Head) Head->DestroyList();
}

TDefinition::TDefinition() = default;

TDefinition::~TDefinition() {
  if (Prev) Prev->Next = Next;
  if (Next) Next->Prev = Prev;
}

void TDefinition::SetPosition(int32_t ALine, int32_t AColumn, TSourceName AFileName) {
  Line = ALine;
  Column = AColumn;
  FileName = AFileName;
}

void TDefinition::SetPosition(int32_t ALine, int32_t AColumn, const std::string& AFileName) {
  SetPosition(ALine, AColumn, TSourceName(AFileName));
}

bool TDefinition::Resolve() {
  ReportError(this, "Abstract resolve - unforseen programming possibility, or something ...");
  Resolved = false;
  return false;
}

bool TDefinition::ResolveList() {
  bool all = true;
  for (TDefinition* d = this; d; d = d->Next) {
    d->Resolve();
    all = all && d->Resolved;
  }
  return all;
}

TDefinition* TDefinition::Lookup(const std::string& Key) {
  // Own list first, then up through the enclosing scopes, which look among their parameters in
  // their own Lookup. A member of a long body that is resolving asks the body's index instead of
  // walking the list.
  const auto* scope = dynamic_cast<const TProcDef*>(Parent);
  const TBodyIndex* index = scope ? scope->BodyIndexHolding(this) : nullptr;
  if (TDefinition* found = index ? index->Find(Key) : FindInList(this, Key)) return found;
  return Parent ? Parent->Lookup(Key) : nullptr;
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

void TDefinition::DumpList(std::ostream& File, int32_t Level) {
  // The same lines as title, details and DumpNext in turn, without one stack frame per member.
  for (TDefinition* d = this; d; d = d->Next) {
    d->DumpTitle(File, Level);
    d->DumpDetails(File, Level + 1);
  }
}

void TDefinition::DumpNext(std::ostream& File, int32_t Level) {
  if (Next) Next->DumpList(File, Level);
}

void TDefinition::DumpTitle(std::ostream& File, int32_t Level) {
  DumpLine(File, Level, ClassName());
}

void TDefinition::DumpDetails(std::ostream& File, int32_t Level) {
  if (IsConstant) DumpFmt(File, Level, "constant = %d", Value);
  if (Resolved && Resolver && !Declared) {
    DumpLine(File, Level, "Resolver =");
    Resolver->DumpBrief(File, Level + 1);
  }
}

void TDefinition::DumpBrief(std::ostream& File, int32_t Level) {
  DumpTitle(File, Level);
  if (IsConstant) DumpFmt(File, Level, "constant = %d", Value);
}

void TDefinition::ReportError(TDefinition* About, const std::string& Message) {
  TErrorHandler* handler = nullptr;
  for (TDefinition* d = this; d && !handler; d = d->Parent) handler = d->ErrorHandler();
  if (!handler) return;
  std::string text = Message;
  if (About)
    text = StrFormat("[%d,%d] in file \"%s\": \"%s\"", About->Line, About->Column, About->FileName.c_str(),
                     Message.c_str());
  (*handler)(About, text);
}

void TDefinition::ReportErrorFmt(TDefinition* About, const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  std::string text = VFormat(Format, args);
  va_end(args);
  ReportError(About, text);
}

void TDefinition::DumpLine(std::ostream& File, int32_t Level, const std::string& Text) {
  File << IndentText(Level) << Text << "\r\n";
}

void TDefinition::DumpFmt(std::ostream& File, int32_t Level, const char* Format, ...) {
  va_list args;
  va_start(args, Format);
  std::string text = VFormat(Format, args);
  va_end(args);
  DumpLine(File, Level, text);
}

void SetParent(TDefinition* Head, TDefinition* Owner) {
  for (TDefinition* d = Head; d; d = d->Next) d->Parent = Owner;
}

void AppendToList(TDefinition* Head, TDefinition* Item) {
  if (!Head || !Item) return;
  TDefinition* last = Head;
  while (last->Next) last = last->Next;
  last->Next = Item;
  Item->Prev = last;
  Item->Next = nullptr;
}

int32_t ListLength(const TDefinition* Head) {
  int32_t n = 0;
  for (const TDefinition* d = Head; d; d = d->Next) ++n;
  return n;
}

TDefinition* FindInList(TDefinition* Member, const std::string& Key) {
  if (!Member) return nullptr;
  TDefinition* d = Member;
  while (d->Prev) d = d->Prev;
  for (; d; d = d->Next) {
    if (!d->Declared) continue;
    auto* named = dynamic_cast<TNamedDefinition*>(d);
    if (named && SameName(named->Name, Key)) return d;
  }
  return nullptr;
}

bool SameName(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (UpperAscii(A[i]) != UpperAscii(B[i])) return false;
  return true;
}

TNamedDefinition::TNamedDefinition(std::string AName) {
  SetName(std::move(AName));
}

void TNamedDefinition::SetName(std::string AName) {
  Name = std::move(AName);
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

void TNamedDefinition::DumpTitle(std::ostream& File, int32_t Level) {
  DumpFmt(File, Level, "%s( %s)", ClassName(), Name.c_str());
}

}  // namespace tambrel
