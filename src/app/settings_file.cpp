#include "app/settings_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "support/atomic_file.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The section name of a "[name]" line.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string text = Trimmed(line);
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  const auto close = text.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trimmed(text.substr(1, close - 1));
}

bool SameName(const std::string& a, const std::string& b) {
  return UpperAscii(a) == UpperAscii(b);
}

// The key of a "key=value" line; none for a line without "=".
std::optional<std::string> KeyOf(const std::string& line) {
  const auto equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return Trimmed(line.substr(0, equals));
}

}  // namespace

void TIniFile::Parse(const std::string& text) {
  Preamble.clear();
  Sections.clear();
  std::vector<std::string>* lines = &Preamble;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (const auto name = SectionName(line)) {
      Sections.push_back({*name, {}});
      lines = &Sections.back().Lines;
      continue;
    }
    lines->push_back(std::move(line));
  }
}

std::string TIniFile::Text() const {
  std::string text;
  for (const std::string& line : Preamble) text += line + "\n";
  for (const TSection& section : Sections) {
    text += "[" + section.Name + "]\n";
    for (const std::string& line : section.Lines) text += line + "\n";
  }
  return text;
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
  for (const TSection& candidate : Sections)
    if (SameName(candidate.Name, section)) return &candidate;
  return nullptr;
}

TIniFile::TSection& TIniFile::FindOrAdd(const std::string& section) {
  if (const TSection* found = Find(section)) return const_cast<TSection&>(*found);
  Sections.push_back({section, {}});
  return Sections.back();
}

std::optional<std::string> TIniFile::Value(const std::string& section, const std::string& key) const {
  const TSection* found = Find(section);
  if (found == nullptr) return std::nullopt;
  for (const std::string& line : found->Lines) {
    const auto lineKey = KeyOf(line);
    if (lineKey && SameName(*lineKey, key)) return Trimmed(line.substr(line.find('=') + 1));
  }
  return std::nullopt;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  return Value(section, key).value_or(fallback);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const {
  const auto text = Value(section, key);
  if (!text || text->empty()) return fallback;
  const char* first = text->data();
  const char* last = first + text->size();
  if (*first == '+') ++first;  // from_chars takes a minus only
  int32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, 10);
  if (error != std::errc() || end != last) return fallback;
  return value;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  // Any integer, also one beyond 32 bits.
  const auto text = Value(section, key);
  if (!text) return fallback;
  std::string_view digits(*text);
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return fallback;
  return digits.find_first_not_of('0') != std::string_view::npos;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  TSection& target = FindOrAdd(section);
  const std::string line = key + "=" + value;
  for (std::string& existing : target.Lines) {
    const auto lineKey = KeyOf(existing);
    if (lineKey && SameName(*lineKey, key)) {
      existing = line;
      return;
    }
  }
  // After the last key line, so that blank lines closing the section stay where they are.
  auto at = target.Lines.end();
  while (at != target.Lines.begin() && Trimmed(*(at - 1)).empty()) --at;
  target.Lines.insert(at, line);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

TIniLoad LoadIniFile(const std::string& path) {
  TIniLoad load;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return load;  // Missing
    load.Status = TIniLoad::TStatus::Unreadable;
    load.Problem = std::strerror(errno);
    return load;
  }
  load.Status = TIniLoad::TStatus::Unreadable;
  if (!S_ISREG(info.st_mode)) {
    load.Problem = "not a regular file";
    return load;
  }
  if (static_cast<uintmax_t>(info.st_size) > MaxSettingsFileSize) {
    load.Problem = StrFormat("larger than %zu bytes", MaxSettingsFileSize);
    return load;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    load.Problem = std::strerror(errno);
    return load;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    load.Problem = "read error";
    return load;
  }
  load.File.Parse(text.str());
  load.Status = TIniLoad::TStatus::Read;
  return load;
}

void SaveIniFile(const std::string& path, const TIniFile& file) {
  WriteFileAtomically(path, file.Text());
}

}  // namespace tambrel
