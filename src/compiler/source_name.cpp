#include "compiler/source_name.h"

#include <mutex>
#include <unordered_set>

namespace tambrel {

namespace {

struct TNameTable {
  std::mutex Lock;
  std::unordered_set<std::string> Names;  // guarded by Lock; never shrinks, so entries stay put
};

TNameTable& Table() {
  // Never destroyed: nodes of trees freed during exit may still point into it.
  static auto* table = new TNameTable;
  return *table;
}

const std::string* Intern(const std::string& name) {
  TNameTable& table = Table();
  std::lock_guard<std::mutex> guard(table.Lock);
  return &*table.Names.insert(name).first;
}

const std::string* EmptyName() {
  static const std::string* empty = Intern(std::string());
  return empty;
}

}  // namespace

TSourceName::TSourceName() : FName(EmptyName()) {}

TSourceName::TSourceName(const std::string& name) : FName(Intern(name)) {}

}  // namespace tambrel
