#pragma once
// Name lookup in a long statement list. Every name a statement uses is looked up first among the
// statements of its own list; walking a top-level list of tens of thousands of statements for each of
// them made resolving a big script quadratic (a 1 MB script took 14 s). A scope indexes its body while
// it resolves it, and lookups from the body's members then cost one hash probe.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tambrel {

class TDefinition;
class TNamedDefinition;

class TBodyIndex {
 public:
  // Shorter lists are searched by walking them; an index would cost more than it saves.
  static constexpr int32_t MinMembers = 32;

  // Indexes the list headed by head as it is now; the list must not change while the index is used.
  explicit TBodyIndex(TDefinition* head);
  bool Holds(const TDefinition* member) const;
  // What FindInList gives for a member of the list: the first member, in list order, that is declared
  // now and named key in any letter case.
  TDefinition* Find(const std::string& key) const;

 private:
  std::unordered_set<const TDefinition*> FMembers;
  // Upper-case name to the named members of that name, in list order.
  std::unordered_map<std::string, std::vector<TNamedDefinition*>> FByName;
};

}  // namespace tambrel
