#pragma once
// Runs the front end over a file as the compile command does and keeps what it produced.

#include <cstdint>
#include <exception>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/tambrel.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"

namespace tambrel::testing {

struct TParseRun {
  int Result = -1;     // yyparse's result, -1 when it ended through an exception
  std::string Thrown;  // the exception's text then
  int32_t Errors = 0;  // ErrorCount after the parse
  std::vector<std::string> Messages;
  std::unique_ptr<TTambrel> Root;  // kept also when errors were reported, to look at the tree
  bool Ok() const { return Result == 0 && Errors == 0 && Root != nullptr; }
  // The root's top-level list as the tree dump shows it, without the built-ins (the last two) and the
  // carriage returns.
  std::string Dump() const {
    if (!Root || !Root->Definitions) return {};
    int32_t parsed = ListLength(Root->Definitions.get()) - 2;
    std::ostringstream out;
    for (TDefinition* d = Root->Definitions.get(); d && parsed > 0; d = d->Next, --parsed) {
      d->DumpTitle(out, 0);
      d->DumpDetails(out, 1);
    }
    std::string lines = out.str();
    std::erase(lines, '\r');
    return lines;
  }
};

// OpenSource, ResetInput, the parse (ParseCurrentSource), then the result handed over.
inline TParseRun ParsePath(const std::string& path, bool trace = false) {
  TParseRun run;
  SetTraceOn(trace);
  OpenSource(path);
  ResetInput();
  ClearParseResult();
  try {
    run.Result = ParseCurrentSource();
  } catch (const std::exception& e) {
    run.Thrown = e.what();
  }
  run.Root = TakeParseResult();
  run.Errors = ErrorCount();
  run.Messages = Messages();
  SetTraceOn(false);
  return run;
}

}  // namespace tambrel::testing
