#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "support/runtime_errors.h"

namespace tambrel {

namespace {

// The file a write to path really changes: the end of a chain of symbolic links.
std::string ResolvedTarget(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::vector<char> buffer(PATH_MAX);
    const ssize_t n = ::readlink(target.c_str(), buffer.data(), buffer.size());
    if (n < 0) return target;  // not a link (or not there): written as it is
    std::string next(buffer.data(), static_cast<size_t>(n));
    if (next.empty() || next.front() != '/') {
      const auto cut = target.rfind('/');
      if (cut != std::string::npos) next = target.substr(0, cut + 1) + next;
    }
    target = next;
  }
  errno = ELOOP;
  ThrowFileError("write", path);
}

// Closes the descriptor and removes the temporary file unless the rename took it.
class TTemporaryFile {
 public:
  // Created with the mode a new file would get (the umask applies).
  explicit TTemporaryFile(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && Descriptor < 0; ++attempt) {
      Name = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
      Descriptor = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (Descriptor < 0 && errno != EEXIST) break;
    }
    if (Descriptor < 0) Renamed = true;  // nothing to remove
  }
  ~TTemporaryFile() {
    if (Descriptor >= 0) ::close(Descriptor);
    if (!Renamed) ::unlink(Name.c_str());
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  bool Opened() const { return Descriptor >= 0; }
  bool WriteAll(const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
      const ssize_t n = ::write(Descriptor, content.data() + done, content.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // keepMode: the permission bits of the file replaced, when there is one.
  bool Finish(const mode_t* keepMode) {
    if (keepMode != nullptr && ::fchmod(Descriptor, *keepMode) != 0) return false;
    if (::fsync(Descriptor) != 0) return false;
    const int result = ::close(Descriptor);
    Descriptor = -1;
    return result == 0;
  }
  bool RenameTo(const std::string& target) {
    Renamed = ::rename(Name.c_str(), target.c_str()) == 0;
    return Renamed;
  }

 private:
  std::string Name;
  int Descriptor = -1;
  bool Renamed = false;
};

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string target = ResolvedTarget(path);
  struct stat info {};
  mode_t oldMode = 0;
  const bool exists = ::stat(target.c_str(), &info) == 0;
  if (exists) oldMode = info.st_mode & 07777;
  TTemporaryFile temporary(target);
  if (!temporary.Opened()) ThrowFileError("create", path);
  if (!temporary.WriteAll(content) || !temporary.Finish(exists ? &oldMode : nullptr))
    ThrowFileError("write", path);
  if (!temporary.RenameTo(target)) ThrowFileError("replace", path);
}

}  // namespace tambrel
