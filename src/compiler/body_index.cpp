#include "compiler/body_index.h"

#include "compiler/definition.h"
#include "compiler/statements.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

bool CanDeclare(TDefinition* d) {
  return d->Declared || dynamic_cast<TProcDef*>(d) || dynamic_cast<TConstDef*>(d) || dynamic_cast<TId*>(d);
}

}  // namespace

TBodyIndex::TBodyIndex(TDefinition* head) {
  for (TDefinition* d = head; d; d = d->Next) {
    FMembers.insert(d);
    // Every member that is or may become a declaration (a constant becomes one while its list
    // resolves). Actions and includes never do; leaving them out matters: thousands of actions are
    // all named "out", and each would be passed over at every lookup of that name.
    if (CanDeclare(d)) {
      auto* named = static_cast<TNamedDefinition*>(d);
      FByName[UpperAscii(named->Name)].push_back(named);
    }
  }
}

bool TBodyIndex::Holds(const TDefinition* member) const {
  return FMembers.count(member) != 0;
}

TDefinition* TBodyIndex::Find(const std::string& key) const {
  const auto found = FByName.find(UpperAscii(key));
  if (found == FByName.end()) return nullptr;
  for (TNamedDefinition* named : found->second)
    if (named->Declared) return named;
  return nullptr;
}

}  // namespace tambrel
