#pragma once
// Helpers of the front-end tests: files in a temporary directory, and the scanner run over a file as
// the parser runs it.

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
};

// Every token of a file holding text, up to and including the end of input; the input is idle again
// afterwards, also when the scan throws.
std::vector<TScanned> ScanText(const std::string& text);

// The codes of the tokens, without the final end of input.
std::vector<int32_t> Codes(const std::vector<TScanned>& tokens);

}  // namespace tambrel::testing
