#include "app/patch_list.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tambrel {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Compared as unsigned bytes, as the tie-break is: names with bytes above ASCII come after the ASCII
// ones whether or not char is signed.
unsigned char UpperByte(char c) {
  return static_cast<unsigned char>(Upper(c));
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const auto folded = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return UpperByte(x) < UpperByte(y); });
  if (folded) return true;
  const bool equal =
      std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Upper(x) == Upper(y); });
  return equal && a < b;
}

bool EndsInPch(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = Upper(c);
  return tail == ".PCH";
}

}  // namespace

std::vector<std::string> ListPatchFiles(const std::string& dir) {
  std::vector<std::string> names;
  if (dir.empty()) return names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(dir, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (name.empty() || name.front() == '.' || !EndsInPch(name)) continue;
    std::error_code statError;
    if (!entry->is_regular_file(statError)) continue;  // follows a link
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  return names;
}

bool IsListedPatchName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = Upper(c);
  const size_t first = upper.find(".PCH");
  return first != std::string::npos && first + 4 == upper.size();
}

std::string PatchListBytes(const std::vector<std::string>& names, std::vector<std::string>& skipped) {
  std::string bytes = "1\r\n";
  for (const std::string& name : names) {
    if (!IsListedPatchName(name)) continue;
    if (name.find_first_of("\r\n") != std::string::npos) {
      skipped.push_back(name);
      continue;
    }
    bytes += name;
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace tambrel
