#include "lex_test_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "compiler/definition.h"
#include "script/lex/scanner.h"
#include "script/lex/source_input.h"
#include "script/lex/tokens.h"

namespace tambrel::testing {

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tambrel-lex-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  Dir = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Dir, ignored);
}

std::string TTempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = Dir + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<TScanned> ScanText(const std::string& text) {
  TTempDir dir;
  struct TIdleGuard {
    ~TIdleGuard() { RestoreIdleInput(); }
  } guard;
  OpenSource(dir.Write("text.tmb", text));
  ResetInput();
  std::vector<TScanned> tokens;
  do {
    TScanned token;
    token.Code = yylex();
    if (token.Code == tok::NUMBER || token.Code == tok::BADNUMBER) token.Number = TokenValue.Number;
    if (token.Code == tok::IDENTIFIER) token.Text = std::unique_ptr<TId>(TokenValue.Id)->Name;
    token.Line = Line();
    token.Column = Column();
    tokens.push_back(token);
  } while (tokens.back().Code != tok::END);
  return tokens;
}

std::vector<int32_t> Codes(const std::vector<TScanned>& tokens) {
  std::vector<int32_t> codes;
  for (const TScanned& token : tokens) {
    if (token.Code != tok::END) codes.push_back(token.Code);
  }
  return codes;
}

}  // namespace tambrel::testing
