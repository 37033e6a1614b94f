#include "support/app_paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "support/debug_log.h"
#include "support/runtime_errors.h"
#include "support/tick_count.h"
#include "support/version_info.h"

namespace tambrel {

namespace {

struct Paths {
  std::string appPath;
  std::string iniFileName;
  std::string debugFileName;
};

Paths& ModulePaths() {
  static Paths paths;
  return paths;
}

}  // namespace

void ThrowFileError(const std::string& action, const std::string& fileName) {
  throw EInOutError("Cannot " + action + " file \"" + fileName + "\": " + std::strerror(errno));
}

std::string FileNameOnly(const std::string& path) {
  const auto cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string DirectoryOf(const std::string& path) {
  const auto cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string IniNameFor(const std::string& programFileName) {
  const std::string name = FileNameOnly(programFileName);
  return name.substr(0, name.find('.')) + ".INI";
}

std::string RunningProgramFile() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

void SetProgramPaths(const std::string& programFile) {
  const std::string program = programFile.empty() ? RunningProgramFile() : programFile;
  Paths& paths = ModulePaths();
  paths.appPath = DirectoryOf(program);
  paths.iniFileName = paths.appPath + IniNameFor(program);
  paths.debugFileName = paths.appPath + "debug.txt";
}

void SupportStartup(const std::string& programFile) {
  SetProgramPaths(programFile);
  const Paths& paths = ModulePaths();
  {
    std::ofstream create(paths.debugFileName, std::ios::binary | std::ios::trunc);
    if (!create) ThrowFileError("create", paths.debugFileName);
  }
  ResetStartTick();
  DebugLog("Program start");
  LoadVersionInfo();
}

const std::string& AppPath() {
  return ModulePaths().appPath;
}
const std::string& IniFileName() {
  return ModulePaths().iniFileName;
}
const std::string& DebugFileName() {
  return ModulePaths().debugFileName;
}

}  // namespace tambrel
