#pragma once
// Helpers of the scanner tests: files in a temporary directory and a loop that runs the scanner
// over a file the way the parser does, opening include files at the ";" of an include statement.

#include <cstdint>
#include <string>
#include <vector>

namespace tambrel::testing {

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // Writes the bytes to a file in the directory and returns its full path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  const std::string& Path() const { return Dir; }

 private:
  std::string Dir;
};

struct TScanned {
  int32_t Code = 0;
  int32_t Number = 0;  // NUMBER and BADNUMBER
  std::string Text;    // IDENTIFIER
  int32_t Line = 0;    // position after the token
  int32_t Column = 0;
  std::string File;  // SourceFileName after the token
};

// Every token of the file up to and including the end of input. When includeDir is not empty, a ";"
// that follows include and an identifier opens includeDir + "/" + identifier + ".tmb".
std::vector<TScanned> ScanFile(const std::string& path, const std::string& includeDir = {});

// ScanFile over a file holding text.
std::vector<TScanned> ScanText(const std::string& text);

// The codes of the tokens, without the final end of input.
std::vector<int32_t> Codes(const std::vector<TScanned>& tokens);

}  // namespace tambrel::testing
