#include "app/script_front_end.h"

#include "compiler/tambrel.h"
#include "script/lex/source_input.h"
#include "script/parse/parser.h"

namespace tambrel {

TScriptTambrel::TScriptTambrel(std::unique_ptr<TTambrel> root) : TheRoot(std::move(root)) {}

TScriptTambrel::~TScriptTambrel() = default;

void TScriptTambrel::SetOnError(std::function<void(const std::string& text)> onError) {
  if (!onError) {
    TheRoot->OnError = nullptr;
    return;
  }
  TheRoot->OnError = [onError = std::move(onError)](TDefinition*, const std::string& text) { onError(text); };
}

int32_t TScriptTambrel::Compile(TPlayer* player, const std::string& dumpFileName) {
  return TheRoot->Compile(player, dumpFileName);
}

std::string TScriptTambrel::Name() const {
  return TheRoot->Name;
}

void TScriptFrontEnd::OpenSource(const std::string& path) {
  tambrel::OpenSource(path);
}

void TScriptFrontEnd::SetTraceOn(bool on) {
  tambrel::SetTraceOn(on);
}

void TScriptFrontEnd::ResetInput() {
  tambrel::ResetInput();
}

void TScriptFrontEnd::ClearParseResult() {
  tambrel::ClearParseResult();
}

int TScriptFrontEnd::Parse() {
  return ParseCurrentSource();
}

int32_t TScriptFrontEnd::ErrorCount() const {
  return tambrel::ErrorCount();
}

const std::vector<std::string>& TScriptFrontEnd::Messages() const {
  return tambrel::Messages();
}

std::unique_ptr<TParsedTambrel> TScriptFrontEnd::TakeParseResult() {
  std::unique_ptr<TTambrel> root = tambrel::TakeParseResult();
  if (!root) return nullptr;
  return std::make_unique<TScriptTambrel>(std::move(root));
}

}  // namespace tambrel
