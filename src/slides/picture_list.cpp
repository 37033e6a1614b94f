#include "slides/picture_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "support/text_format.h"

namespace tambrel {

namespace {

bool HasPictureExtension(const std::string& name, const std::vector<std::string>& extensions) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) return false;
  const std::string extension = UpperAscii(name.substr(dot + 1));
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const std::string& known) { return UpperAscii(known) == extension; });
}

}  // namespace

bool PictureNameLess(const std::string& a, const std::string& b) {
  const std::string upperA = UpperAscii(a), upperB = UpperAscii(b);
  if (upperA != upperB) return upperA < upperB;
  return a < b;
}

std::vector<std::string> ListPictureFiles(const std::string& dir,
                                          const std::vector<std::string>& extensions) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(dir, error);
  if (error) return names;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;  // follows links to files
    if (HasPictureExtension(name, extensions)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), PictureNameLess);
  return names;
}

const std::vector<std::string>& DefaultPictureExtensions() {
  static const std::vector<std::string> extensions = {"jpg", "jpeg", "jpe", "jfif", "bmp", "dib", "ico",
                                                      "png", "gif",  "pbm", "pgm",  "ppm", "xbm", "xpm"};
  return extensions;
}

}  // namespace tambrel
