#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <streambuf>
#include <utility>

#include "support/runtime_errors.h"

namespace tambrel {

namespace {

// The folder part of a path with its trailing '/'; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The file that path names once the symbolic links it ends in are followed.
std::string FollowLinks(const std::string& path) {
  std::string file = path;
  for (int hop = 0; hop < 40; ++hop) {  // as many as the kernel follows
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return file;
    std::array<char, PATH_MAX> target{};
    const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) == target.size()) ThrowFileError("write", path);
    const std::string link(target.data(), static_cast<size_t>(length));
    file = link.front() == '/' ? link : FolderOf(file) + link;
  }
  errno = ELOOP;
  ThrowFileError("write", path);
}

// A new file beside the target; removed again unless it has replaced the target. Errors name the path
// as the caller gave it.
class TFileBeside {
 public:
  TFileBeside(std::string target, std::string shownName)
      : Target(std::move(target)), Shown(std::move(shownName)) {
    const size_t cut = Target.rfind('/');
    // Cut so that the new name stays within the length limit of a name, however long the target's is.
    const std::string base = Target.substr(cut == std::string::npos ? 0 : cut + 1).substr(0, 200);
    for (int attempt = 0; Fd < 0; ++attempt) {
      Path = FolderOf(Target) + "." + base + ".new-" + std::to_string(::getpid()) + "-" +
             std::to_string(attempt);
      Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (Fd < 0 && (errno != EEXIST || attempt == 100)) ThrowFileError("create", Shown);
    }
  }
  ~TFileBeside() {
    if (Fd >= 0) ::close(Fd);
    if (!Replaced) ::unlink(Path.c_str());
  }
  TFileBeside(const TFileBeside&) = delete;
  TFileBeside& operator=(const TFileBeside&) = delete;

  void Write(const char* data, size_t size) {
    while (size > 0) {
      const ssize_t written = ::write(Fd, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) ThrowFileError("write", Shown);
      data += written;
      size -= static_cast<size_t>(written);
    }
  }

  void ReplaceTarget() {
    struct stat old {};
    if (::stat(Target.c_str(), &old) == 0) {
      // Only root may give a file away; anyone else stays the owner of what they write.
      [[maybe_unused]] const int owned = ::fchown(Fd, old.st_uid, old.st_gid);
      if (::fchmod(Fd, old.st_mode & 07777) != 0) ThrowFileError("write", Shown);
    }
    // On the disk before the rename, so that the target's name never stands for a partial file.
    if (::fsync(Fd) != 0) ThrowFileError("write", Shown);
    if (::close(std::exchange(Fd, -1)) != 0) ThrowFileError("write", Shown);
    if (::rename(Path.c_str(), Target.c_str()) != 0) ThrowFileError("write", Shown);
    Replaced = true;
  }

 private:
  std::string Target;
  std::string Shown;
  std::string Path;
  int Fd = -1;
  bool Replaced = false;
};

// A stream buffer in front of the new file. Write errors are thrown; the stream passes them on because
// its exception mask holds badbit.
class TBesideBuffer : public std::streambuf {
 public:
  explicit TBesideBuffer(TFileBeside& file) : File(file) {
    setp(Buffer.data(), Buffer.data() + Buffer.size());
  }

 protected:
  int_type overflow(int_type c) override {
    Flush();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  int sync() override {
    Flush();
    return 0;
  }

 private:
  void Flush() {
    File.Write(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(Buffer.data(), Buffer.data() + Buffer.size());
  }
  TFileBeside& File;
  std::array<char, 65536> Buffer;
};

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  TFileBeside file(FollowLinks(path), path);
  file.Write(bytes.data(), bytes.size());
  file.ReplaceTarget();
}

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& writeContent) {
  TFileBeside file(FollowLinks(path), path);
  {
    TBesideBuffer buffer(file);
    std::ostream stream(&buffer);
    stream.exceptions(std::ios::badbit);
    writeContent(stream);
    stream.flush();
  }
  file.ReplaceTarget();
}

const std::string* SameFileAmong(const std::string& path, const std::vector<std::string>& files) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return nullptr;
  for (const std::string& file : files) {
    struct stat each {};
    if (::stat(file.c_str(), &each) == 0 && each.st_dev == target.st_dev && each.st_ino == target.st_ino)
      return &file;
  }
  return nullptr;
}

}  // namespace tambrel
