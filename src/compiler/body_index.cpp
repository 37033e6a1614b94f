#include "compiler/body_index.h"

#include "compiler/definition.h"

namespace tambrel {

namespace {

std::string UpperCaseAscii(const std::string& Text) {
    std::string upper = Text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

}  // namespace

TBodyIndex::TBodyIndex(TDefinition* Head) {
    for (TDefinition* d = Head; d; d = d->Next) {
        FMembers.insert(d);
        // Every named member, declared or not: a constant becomes declared while its list resolves.
        if (auto* named = dynamic_cast<TNamedDefinition*>(d)) FByName[UpperCaseAscii(named->Name)].push_back(named);
    }
}

bool TBodyIndex::Holds(const TDefinition* Member) const { return FMembers.count(Member) != 0; }

TDefinition* TBodyIndex::Find(const std::string& Key) const {
    const auto found = FByName.find(UpperCaseAscii(Key));
    if (found == FByName.end()) return nullptr;
    for (TNamedDefinition* named : found->second)
        if (named->Declared) return named;
    return nullptr;
}

}  // namespace tambrel
