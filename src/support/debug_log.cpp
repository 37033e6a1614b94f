#include "support/debug_log.h"

#include <cstdio>

#include "support/app_paths.h"
#include "support/runtime_errors.h"
#include "support/text_format.h"
#include "support/tick_count.h"

namespace tambrel {

void DebugLog(const std::string& message) {
  const std::string& name = DebugFileName();
  std::FILE* file = std::fopen(name.c_str(), "ab");
  if (file == nullptr) ThrowFileError("append to", name);
  const std::string line = FormatPlayTime(TicksSinceStart()) + " - " + message + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  if (std::fclose(file) != 0 || !written) ThrowFileError("write", name);
}

}  // namespace tambrel
