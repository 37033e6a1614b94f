// The setters of the preferences, the debug switches and the roots: each does nothing for an
// unchanged value, else stores it and brings its control into line.
#include "app/tambrel_controller.h"

namespace tambrel {

void TTambrelController::SetParserDebug(bool on) {
  SetFlag(FParserDebug, on, TCheck::DebugParser);
}

void TTambrelController::SetCompilerDebug(bool on) {
  SetFlag(FCompilerDebug, on, TCheck::DebugCompiler);
}

void TTambrelController::SetTraceMode(bool on) {
  if (FTraceMode == on) return;
  FTraceMode = on;
  FRouting.SetTraceMode(on);
  View.ShowToggle(TToggle::TracePlayer, on, "Trace");
}

void TTambrelController::SetRemoveOldOnLoad(bool on) {
  SetFlag(FRemoveOldOnLoad, on, TCheck::RemoveOldOnLoad);
}

void TTambrelController::SetRemoveOnFinish(bool on) {
  SetFlag(FRemoveOnFinish, on, TCheck::RemoveOnFinish);
}

void TTambrelController::SetAutoEdit(bool on) {
  SetFlag(FAutoEdit, on, TCheck::AutoEdit);
}

void TTambrelController::SetAutoPlay(bool on) {
  SetFlag(FAutoPlay, on, TCheck::AutoPlay);
}

void TTambrelController::SetAutoReload(bool on) {
  SetFlag(FAutoReload, on, TCheck::AutoReload);
}

void TTambrelController::SetProjectRoot(const std::string& dir) {
  if (FProjectRoot == dir) return;
  FProjectRoot = dir;
  View.ShowEditText(TEditField::ProjectRoot, dir);
  RefreshPatchFiles();
}

void TTambrelController::SetPictureRootSetting(const std::string& dir) {
  if (FPictureRoot == dir) return;
  FPictureRoot = dir;
  View.ShowEditText(TEditField::PictureRoot, dir);
}

}  // namespace tambrel
