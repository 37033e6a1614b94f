#pragma once
// The settings file: sections of key=value lines. Everything read is kept, so that writing changes
// only the keys written and leaves the rest (keys this version does not know, lines without "=",
// comments) as they were. Sections and keys compare in any ASCII letter case.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tambrel {

class TIniFile {
 public:
  // Lines end in LF or CR LF; a line "[name]" opens a section.
  void Parse(const std::string& text);
  // The lines with LF line ends.
  std::string Text() const;

  // The value after the first "=" of the first line of key in section, spaces around it removed.
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // A decimal signed 32-bit number with an optional sign; anything else gives fallback.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
  // An integer, non-zero is true; anything else gives fallback.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  // Replaces the key's line, or adds it at the end of its section (a new section goes at the end).
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);  // 1 or 0

 private:
  struct TSection {
    std::string Name;
    std::vector<std::string> Lines;
  };
  const TSection* Find(const std::string& section) const;
  TSection& FindOrAdd(const std::string& section);

  std::vector<std::string> Preamble;  // lines before the first section
  std::vector<TSection> Sections;
};

// What reading the settings file found.
struct TIniLoad {
  enum class TStatus { Missing, Read, Unreadable };
  TStatus Status = TStatus::Missing;
  TIniFile File;
  std::string Problem;  // why an existing file could not be read
};

// A file above this size is not a settings file of ours: it is not read (and so not overwritten).
constexpr size_t MaxSettingsFileSize = 1 << 20;

TIniLoad LoadIniFile(const std::string& path);
// Through a temporary file and a rename; throws EInOutError.
void SaveIniFile(const std::string& path, const TIniFile& file);

}  // namespace tambrel
