// The project utilities: the patch files of the project root, the patch list, and choosing the roots.
#include <sys/stat.h>

#include "app/patch_list.h"
#include "app/tambrel_controller.h"
#include "support/app_paths.h"
#include "support/atomic_file.h"

namespace tambrel {

namespace {

// Whether two paths name the same file (a link and its target do).
bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// A root is kept with its trailing '/', whatever the picker gave, since names are joined to it.
std::string WithSlash(const std::string& dir) {
  return dir.empty() || dir.back() == '/' ? dir : dir + '/';
}

}  // namespace

void TTambrelController::RefreshPatchFiles() {
  FPatchFiles = ListPatchFiles(FProjectRoot);
  View.ShowPatchFiles(FPatchFiles);
}

void TTambrelController::GeneratePatchList(const std::string& path) {
  // The listing may be older than the folder.
  RefreshPatchFiles();
  const std::string dir = WithSlash(FProjectRoot);
  for (const std::string& name : FPatchFiles)
    if (SameFile(path, dir + name))
      throw std::runtime_error("The patch list cannot be written over the patch file \"" + name + "\"");
  std::vector<std::string> skipped;
  const std::string bytes = PatchListBytes(FPatchFiles, skipped);
  for (const std::string& name : skipped)
    WriteMessage("Patch file name with a line break left out of the list: \"" + name + "\"");
  WriteFileAtomically(path, bytes);
}

void TTambrelController::GeneratePatchListCommand() {
  if (SaveDialogList.InitialDir.empty()) SaveDialogList.InitialDir = WithSlash(FProjectRoot);
  if (SaveDialogList.FileName.empty()) SaveDialogList.FileName = "bank1.pchlist";
  struct TRefresh {
    TTambrelController& Self;
    ~TRefresh() { Self.RefreshPatchFiles(); }
  } refresh{*this};
  if (Parts.Dialogs->RunFileDialog(TFileDialog::SavePatchList, SaveDialogList))
    GeneratePatchList(SaveDialogList.FileName);
}

void TTambrelController::BrowseProjectRoot() {
  if (OpenDialogProject.InitialDir.empty()) OpenDialogProject.InitialDir = Parts.AppPath;
  if (!Parts.Dialogs->ChooseDirectory("Project root directory", OpenDialogProject)) return;
  OpenDialogProject.InitialDir = WithSlash(OpenDialogProject.FileName);
  SetProjectRoot(OpenDialogProject.InitialDir);
}

void TTambrelController::BrowsePictureRoot() {
  if (OpenDialogProject.InitialDir.empty()) OpenDialogProject.InitialDir = Parts.AppPath;
  if (!Parts.Dialogs->ChooseDirectory("Picture root directory", OpenDialogProject)) return;
  OpenDialogProject.InitialDir = WithSlash(OpenDialogProject.FileName);
  SetPictureRootSetting(OpenDialogProject.InitialDir);
}

}  // namespace tambrel
