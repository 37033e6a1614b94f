#pragma once
// The load pipeline's front end and parsed Tambrel, bound to the real script front end (source input,
// scanner, parser) and the compiler's script root.

#include <memory>
#include <string>
#include <vector>

#include "app/compile_pipeline.h"
#include "app/player_timeline.h"

namespace tambrel {

class TTambrel;

// A script root as the pipeline and the tool's timeline use it. Destroying it withdraws its items
// from the player it was compiled into.
class TScriptTambrel : public TLoadedTambrel {
 public:
  explicit TScriptTambrel(std::unique_ptr<TTambrel> root);
  ~TScriptTambrel() override;
  void SetOnError(std::function<void(const std::string& text)> onError) override;
  int32_t Compile(TPlayer* player, const std::string& dumpFileName) override;
  std::string Name() const override;
  const TTambrel* Root() const override { return TheRoot.get(); }

 private:
  std::unique_ptr<TTambrel> TheRoot;
};

// The one front end of the program (its state is the module state of the source input and parser).
class TScriptFrontEnd : public TFrontEnd {
 public:
  void OpenSource(const std::string& path) override;
  void SetTraceOn(bool on) override;
  void ResetInput() override;
  void ClearParseResult() override;
  // The input is idle again afterwards, however the parse ended.
  int Parse() override;
  int32_t ErrorCount() const override;
  const std::vector<std::string>& Messages() const override;
  std::unique_ptr<TParsedTambrel> TakeParseResult() override;
};

}  // namespace tambrel
