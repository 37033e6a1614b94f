#include "parse_test_support.h"

#include <exception>
#include <sstream>

#include "script/lex/source_input.h"
#include "script/parse/parser.h"

namespace tambrel::testing {

std::string TParseRun::Dump() const {
  if (!Root || !Root->Definitions) return {};
  // The root appends the built-ins Out and Nop after the parsed statements.
  int32_t parsed = ListLength(Root->Definitions.get()) - 2;
  std::ostringstream out;
  for (TDefinition* d = Root->Definitions.get(); d && parsed > 0; d = d->Next, --parsed) {
    d->DumpTitle(out, 0);
    d->DumpDetails(out, 1);
  }
  std::string text = out.str();
  std::string lines;
  for (const char c : text) {
    if (c != '\r') lines.push_back(c);
  }
  return lines;
}

TParseRun ParsePath(const std::string& path, bool trace) {
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
