#include "app/compile_pipeline.h"

#include <sys/stat.h>

namespace tambrel {

bool SourceFileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool TCompilePipeline::CompileFile(const std::string& path, TPlayer* player) {
  if (!SourceFileExists(path)) {
    Sink.WriteMessageFmt("File \"%s\" not found", path.c_str());
    return false;
  }
  FrontEnd.OpenSource(path);
  return Compile(player);
}

bool TCompilePipeline::Compile(TPlayer* player) {
  FrontEnd.SetTraceOn(Settings.ParserDebug);
  FrontEnd.ResetInput();
  FrontEnd.ClearParseResult();

  std::unique_ptr<TParsedTambrel> tambrel;
  bool parsed = false;
  try {
    const int result = FrontEnd.Parse();
    tambrel = FrontEnd.TakeParseResult();
    parsed = result == 0 && FrontEnd.ErrorCount() == 0 && tambrel != nullptr;
  } catch (...) {
    // A fault inside the parser counts as a failed parse; its text is not shown.
    tambrel = FrontEnd.TakeParseResult();
    parsed = false;
  }
  if (!parsed) tambrel.reset();

  Sink.WriteMessageList(&FrontEnd.Messages());
  if (!parsed) {
    const int32_t count = FrontEnd.ErrorCount();
    if (count == 1)
      Sink.WriteMessage("1 syntax error detected.");
    else
      Sink.WriteMessageFmt("%d syntax errors detected.", count);
    return false;
  }

  Sink.WriteMessage("Syntax OK.");
  if (Settings.ProcessEvents) Settings.ProcessEvents();
  tambrel->SetOnError([this](const std::string& text) { Sink.WriteMessage(text); });
  if (tambrel->Compile(player, Settings.DumpFileName) != 0) {
    Sink.WriteMessage("Compilation error(s) encountered.");
    return false;
  }
  Sink.WriteMessage("Compilation OK.");
  if (player != nullptr && OnLoaded) OnLoaded(std::move(tambrel));
  return true;
}

}  // namespace tambrel
