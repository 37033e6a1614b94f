// The Main tab's editor and slide button.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/tambrel_controller.h"

namespace tambrel {

void TTambrelController::EditorLoad(const std::string& path) {
  // Read first: a file that cannot be read changes neither the editor nor the edited file's name.
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  if (!in || in.bad()) {
    View.ShowError("Cannot read file \"" + path + "\": " + std::strerror(errno));
    return;
  }
  FEditFileName = path;
  View.ShowEditorText(bytes.str());
}

void TTambrelController::StartSlides() {
  View.ShowSlideWindow();
}

}  // namespace tambrel
