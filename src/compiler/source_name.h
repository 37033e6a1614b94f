#pragma once
// The file a definition was read from. A big script has millions of nodes and a handful of files, so a
// node holds a pointer to one shared copy of its file's name instead of a string of its own.
#include <ostream>
#include <string>

namespace tambrel {

class TSourceName {
 public:
  TSourceName();  // no file: the empty name
  // Looks Name up in the program-wide table of names (adding it the first time); any thread.
  explicit TSourceName(const std::string& Name);

  const std::string& str() const { return *FName; }
  const char* c_str() const { return FName->c_str(); }
  operator const std::string&() const { return *FName; }

  friend bool operator==(const TSourceName& A, const TSourceName& B) { return A.FName == B.FName; }
  friend bool operator==(const TSourceName& A, const std::string& B) { return *A.FName == B; }
  friend bool operator==(const TSourceName& A, const char* B) { return *A.FName == B; }
  friend std::ostream& operator<<(std::ostream& Out, const TSourceName& Name) { return Out << *Name.FName; }

 private:
  const std::string* FName;  // into the table, whose entries live as long as the program
};

}  // namespace tambrel
