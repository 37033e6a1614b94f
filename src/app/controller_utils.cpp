// The project utilities: the patch files of the project root, the patch list, and choosing the roots.
#include "app/patch_list.h"
#include "app/tambrel_controller.h"
#include "support/app_paths.h"
#include "support/atomic_file.h"

namespace tambrel {

void TTambrelController::RefreshPatchFiles() {
  FPatchFiles = ListPatchFiles(FProjectRoot);
  View.ShowPatchFiles(FPatchFiles);
}

void TTambrelController::GeneratePatchList(const std::string& path) {
  // The listing may be older than the folder.
  RefreshPatchFiles();
  const std::string dir = WithTrailingSlash(FProjectRoot);
  std::vector<std::string> patchPaths;
  for (const std::string& name : FPatchFiles) patchPaths.push_back(dir + name);
  if (const std::string* patch = SameFileAmong(path, patchPaths))
    throw std::runtime_error("The patch list cannot be written over the patch file \"" +
                             patch->substr(dir.size()) + "\"");
  std::vector<std::string> skipped;
  const std::string bytes = PatchListBytes(FPatchFiles, skipped);
  for (const std::string& name : skipped)
    WriteMessage("Patch file name with a line break left out of the list: \"" + name + "\"");
  WriteFileAtomically(path, bytes);
}

void TTambrelController::GeneratePatchListCommand() {
  if (SaveDialogList.InitialDir.empty()) SaveDialogList.InitialDir = WithTrailingSlash(FProjectRoot);
  if (SaveDialogList.FileName.empty()) SaveDialogList.FileName = "bank1.pchlist";
  struct TRefresh {
    TTambrelController& Self;
    ~TRefresh() { Self.RefreshPatchFiles(); }
  } refresh{*this};
  if (Parts.Dialogs->RunFileDialog(TFileDialog::SavePatchList, SaveDialogList))
    GeneratePatchList(SaveDialogList.FileName);
}

bool TTambrelController::ChooseRoot(const std::string& title, std::string& dir) {
  if (OpenDialogProject.InitialDir.empty()) OpenDialogProject.InitialDir = Parts.AppPath;
  if (!Parts.Dialogs->ChooseDirectory(title, OpenDialogProject)) return false;
  dir = OpenDialogProject.InitialDir = WithTrailingSlash(OpenDialogProject.FileName);
  return true;
}

void TTambrelController::BrowseProjectRoot() {
  std::string dir;
  if (ChooseRoot("Project root directory", dir)) SetProjectRoot(dir);
}

void TTambrelController::BrowsePictureRoot() {
  std::string dir;
  if (ChooseRoot("Picture root directory", dir)) SetPictureRootSetting(dir);
}

}  // namespace tambrel
