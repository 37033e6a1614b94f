#pragma once
// Reading a whole regular file into memory, without ever blocking on what is not one.

#include <sys/stat.h>

#include <string>

namespace tambrel {

// A file read whole, or why it could not be.
struct TFileRead {
  std::string Text;
  struct stat Info {};
  const char* FailedStep = nullptr;  // "open" or "read" when the file could not be read, with:
  int Error = 0;                     // the errno of that step
  bool Regular = true;               // false when what was opened is no regular file (nothing is read)
};

// Reads the whole file with as few reads as its size allows. Opened without blocking, so that a FIFO
// or a device that took the place of a regular file cannot hold the caller up. Files above 2 GiB fail
// their read with EFBIG.
TFileRead ReadWholeFile(const std::string& path);

}  // namespace tambrel
