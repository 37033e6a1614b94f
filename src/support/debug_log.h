#pragma once
// The debug file: one line per entry, "<time since start> - <message>", opened and closed per line so
// that the file is complete after every call.

#include <string>

namespace tambrel {

// Appends one line to DebugFileName(). Throws EInOutError when the file cannot be opened or written.
void DebugLog(const std::string& message);

}  // namespace tambrel
