#pragma once
// Replacing a file's contents so that a failure leaves the old file as it was: the bytes go to a new
// file beside it, which is then renamed over the old one.

#include <string>

namespace tambrel {

// Writes content to path through a temporary file in the same folder and a rename. A symbolic link is
// followed (the file it names is replaced, the link stays); an existing file keeps its permission bits.
// Throws EInOutError naming the file and the system's reason; the old file is then unchanged.
void WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace tambrel
