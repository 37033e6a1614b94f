// The Main tab's commands: load through the open dialog, the editor's edit, save and syntax check, and
// the slide button.
#include <cstring>
#include <exception>

#include "app/tambrel_controller.h"
#include "support/app_paths.h"
#include "support/atomic_file.h"
#include "support/file_read.h"

namespace tambrel {

namespace {

constexpr const char* DiscardQuestion = "The editor holds changes that are not saved. Discard them?";

// After a confirmed run the dialog opens next time where the chosen file lies.
void RememberDirectory(TFileDialogState& dialog) {
  dialog.InitialDir = DirectoryOf(dialog.FileName);
}

}  // namespace

void TTambrelController::LoadCommand() {
  if (Compiling() || Closed) return;
  if (OpenDialog.FileName.empty())
    OpenDialog.InitialDir = !FProjectRoot.empty() ? FProjectRoot : Parts.AppPath + "Tambrels/";
  if (!Parts.Dialogs->RunFileDialog(TFileDialog::OpenTambrel, OpenDialog)) return;
  FLastFile = OpenDialog.FileName;
  RememberDirectory(OpenDialog);
  LoadTambrel(OpenDialog.FileName);
}

void TTambrelController::EditCommand() {
  if (Compiling() || Closed) return;
  if (OpenDialog.FileName.empty()) OpenDialog.InitialDir = Parts.AppPath + "Tambrels/";
  if (!Parts.Dialogs->RunFileDialog(TFileDialog::OpenTambrel, OpenDialog)) return;
  RememberDirectory(OpenDialog);
  EditorLoad(OpenDialog.FileName);
}

void TTambrelController::SaveCommand() {
  if (Compiling() || Closed) return;
  SaveDialog.FileName = FEditFileName;
  if (!FEditFileName.empty()) SaveDialog.InitialDir = DirectoryOf(FEditFileName);
  if (!Parts.Dialogs->RunFileDialog(TFileDialog::SaveTambrel, SaveDialog)) return;
  EditorSave(SaveDialog.FileName);
}

void TTambrelController::CheckSyntaxCommand() {
  if (Compiling() || Closed) return;
  RunCompileCommand([&] {
    Sink.WriteMessageFmt("Checking: %s", FEditFileName.c_str());
    try {
      CompileFile(FEditFileName, nullptr);
    } catch (const std::exception& error) {
      // A fault of the check is shown where the user looks, the Debug tab stays where it is.
      View.ShowError(error.what());
      return;
    }
    View.SetActiveTab(TTab::Debug);
  });
}

void TTambrelController::EditorLoad(const std::string& path) {
  // Read first: a file that cannot be read changes neither the editor nor the edited file's name.
  TFileRead file = ReadWholeFile(path);
  if (file.FailedStep != nullptr || !file.Regular) {
    View.ShowError("Cannot read file \"" + path +
                   "\": " + (file.Regular ? std::strerror(file.Error) : "not a regular file"));
    return;
  }
  if (!MayDiscardEditorText()) return;
  TDecodedText decoded = DecodeEditorText(file.Text);
  FEditFileName = path;
  FEditFormat = std::move(decoded.Format);
  View.ShowEditorText(decoded.Text);
}

void TTambrelController::EditorSave(const std::string& path) {
  // Encoding first: text the file's encoding cannot hold is refused before anything is written.
  const std::string bytes = EncodeEditorText(View.EditorText(), FEditFormat);
  WriteFileAtomically(path, bytes);
  FEditFileName = path;
  View.SetEditorModified(false);
}

bool TTambrelController::MayDiscardEditorText() {
  return !View.EditorModified() || Parts.Dialogs->Confirm(DiscardQuestion);
}

void TTambrelController::StartSlides() {
  View.ShowSlideWindow();
}

}  // namespace tambrel
