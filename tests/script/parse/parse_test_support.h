#pragma once
// Runs the front end over a file as the compile command does and keeps what it produced.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compiler/tambrel.h"

namespace tambrel::testing {

struct TParseRun {
  int Result = -1;     // yyparse's result, -1 when it ended through an exception
  std::string Thrown;  // the exception's text then
  int32_t Errors = 0;  // ErrorCount after the parse
  std::vector<std::string> Messages;
  std::unique_ptr<TTambrel> Root;  // kept also when errors were reported, to look at the tree
  bool Ok() const { return Result == 0 && Errors == 0 && Root != nullptr; }
  // The root's top-level list as the tree dump shows it, without the built-ins.
  std::string Dump() const;
};

// OpenSource, ResetInput, the parse (ParseCurrentSource), then the result handed over.
TParseRun ParsePath(const std::string& path, bool trace = false);

}  // namespace tambrel::testing
