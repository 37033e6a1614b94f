#pragma once
// The file a definition was read from. A big script has millions of nodes and a handful of files, so a
// node holds a pointer to one shared copy of its file's name instead of a string of its own.
#include <ostream>
#include <string>

namespace tambrel {

class TSourceName {
 public:
  TSourceName();  // no file: the empty name
  // Looks name up in the program-wide table of names (adding it the first time); any thread.
  explicit TSourceName(const std::string& name);

  const std::string& str() const { return *FName; }
  const char* c_str() const { return FName->c_str(); }
  operator const std::string&() const { return *FName; }

  friend bool operator==(const TSourceName& a, const TSourceName& b) { return a.FName == b.FName; }
  friend bool operator==(const TSourceName& a, const std::string& b) { return *a.FName == b; }
  friend bool operator==(const TSourceName& a, const char* b) { return *a.FName == b; }
  friend std::ostream& operator<<(std::ostream& out, const TSourceName& name) { return out << *name.FName; }

 private:
  const std::string* FName;  // into the table, whose entries live as long as the program
};

}  // namespace tambrel
