#pragma once
// A fresh folder of one test's own under the system's temporary folder, removed with all it holds.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/file_read.h"

namespace tambrel {

class TTempFolder {
 public:
  TTempFolder() {
    // The dot is on purpose: names are cut at the first dot of the file name, never of its folder.
    std::string pattern = (std::filesystem::temp_directory_path() / "tambrel-test.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Root = pattern;
    // Readable by the unprivileged user a test may run a child process as.
    std::filesystem::permissions(Root, std::filesystem::perms(0755));
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Root, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // Writes the bytes to the file at the relative name, making its folders, and returns its full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = Root / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  // The file's bytes; empty when it cannot be read.
  std::string Read(const std::string& name) const { return ReadWholeFile((Root / name).string()).Text; }
  std::string Path() const { return Root.string(); }

  std::filesystem::path Root;
};

}  // namespace tambrel
