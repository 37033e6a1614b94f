#include "support/app_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
  std::string writablePath;
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
  const auto cut = path.rfind('/');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WithTrailingSlash(const std::string& dir) {
  return dir.empty() || dir.back() == '/' ? dir : dir + '/';
}

std::string DirectoryOf(const std::string& path) {
  const auto cut = path.rfind('/');
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

std::string WritableFolderFor(const std::string& appPath) {
  if (::access(appPath.empty() ? "." : appPath.c_str(), W_OK) == 0) return appPath;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string base;
  if (configHome != nullptr && configHome[0] == '/') {
    base = configHome;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return appPath;
  }
  const std::string folder = base + "/tambrel/";
  ::mkdir(base.c_str(), 0700);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return appPath;
  return folder;
}

void SetProgramPaths(const std::string& programFile) {
  const std::string program = programFile.empty() ? RunningProgramFile() : programFile;
  Paths& paths = ModulePaths();
  paths.appPath = DirectoryOf(program);
  paths.writablePath = WritableFolderFor(paths.appPath);
  paths.iniFileName = paths.writablePath + IniNameFor(program);
  paths.debugFileName = paths.writablePath + "debug.txt";
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
const std::string& WritablePath() {
  return ModulePaths().writablePath;
}
const std::string& IniFileName() {
  return ModulePaths().iniFileName;
}
const std::string& DebugFileName() {
  return ModulePaths().debugFileName;
}

}  // namespace tambrel
