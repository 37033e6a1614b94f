#include "support/version_info.h"

namespace tambrel {

namespace {

constexpr std::array<const char*, VersionKeyCount> keyNames = {
    "CompanyName",      "FileDescription", "FileVersion",
    "InternalName",     "LegalCopyRight",  "LegalTradeMarks",
    "OriginalFileName", "ProductName",     "ProductVersion",
    "Comments",         "email",           "web",
};

std::array<std::string, VersionKeyCount>& ModuleValues() {
  static std::array<std::string, VersionKeyCount> values = [] {
    std::array<std::string, VersionKeyCount> unknown;
    unknown.fill("Unknown");
    return unknown;
  }();
  return values;
}

}  // namespace

const char* VersionKeyName(VersionKey key) {
  return keyNames[static_cast<size_t>(key)];
}

std::array<std::string, VersionKeyCount> VersionValuesFrom(
    const std::array<const char*, VersionKeyCount>& configured) {
  std::array<std::string, VersionKeyCount> values;
  for (size_t i = 0; i < values.size(); ++i) {
    const char* text = configured[i];
    values[i] = (text != nullptr && *text != '\0') ? text : "Unknown";
  }
  return values;
}

void LoadVersionInfo() {
  ModuleValues() = VersionValuesFrom(ConfiguredVersionValues());
}

const std::string& VersionValue(VersionKey key) {
  return ModuleValues()[static_cast<size_t>(key)];
}
const std::string& VerCompanyName() {
  return VersionValue(VersionKey::CompanyName);
}
const std::string& VerFileDescription() {
  return VersionValue(VersionKey::FileDescription);
}
const std::string& VerFileVersion() {
  return VersionValue(VersionKey::FileVersion);
}
const std::string& VerInternalName() {
  return VersionValue(VersionKey::InternalName);
}
const std::string& VerLegalCopyRight() {
  return VersionValue(VersionKey::LegalCopyRight);
}
const std::string& VerLegalTradeMarks() {
  return VersionValue(VersionKey::LegalTradeMarks);
}
const std::string& VerOriginalFileName() {
  return VersionValue(VersionKey::OriginalFileName);
}
const std::string& VerProductName() {
  return VersionValue(VersionKey::ProductName);
}
const std::string& VerProductVersion() {
  return VersionValue(VersionKey::ProductVersion);
}
const std::string& VerComments() {
  return VersionValue(VersionKey::Comments);
}
const std::string& VerEmail() {
  return VersionValue(VersionKey::Email);
}
const std::string& VerWeb() {
  return VersionValue(VersionKey::Web);
}

}  // namespace tambrel
