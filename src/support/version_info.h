#pragma once
// The program's twelve version values, shown on the Help tab. Each reads "Unknown" unless the build
// configured it.

#include <array>
#include <string>

namespace tambrel {

enum class VersionKey {
  CompanyName,
  FileDescription,
  FileVersion,
  InternalName,
  LegalCopyRight,
  LegalTradeMarks,
  OriginalFileName,
  ProductName,
  ProductVersion,
  Comments,
  Email,
  Web
};
inline constexpr int VersionKeyCount = 12;

// The key names, spelled as the version table has them ("LegalCopyRight", "email", "web").
const char* VersionKeyName(VersionKey key);

// Values for the twelve keys in table order; an empty or missing configured text becomes "Unknown".
std::array<std::string, VersionKeyCount> VersionValuesFrom(
    const std::array<const char*, VersionKeyCount>& configured);

// Takes the values the build configured into the program; runs at start-up.
void LoadVersionInfo();

const std::string& VersionValue(VersionKey key);
const std::string& VerCompanyName();
const std::string& VerFileDescription();
const std::string& VerFileVersion();
const std::string& VerInternalName();
const std::string& VerLegalCopyRight();
const std::string& VerLegalTradeMarks();
const std::string& VerOriginalFileName();
const std::string& VerProductName();
const std::string& VerProductVersion();
const std::string& VerComments();
const std::string& VerEmail();
const std::string& VerWeb();

// The values as configured by the build, in table order (empty where none was configured).
const std::array<const char*, VersionKeyCount>& ConfiguredVersionValues();

}  // namespace tambrel
