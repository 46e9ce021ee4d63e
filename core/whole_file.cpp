#include "core/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/file_util.h"

namespace kestrix {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  // Closes now so that a failing close (a delayed write error) is seen.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The file to replace: when the path is a symbolic link, the file it names,
// so that the link keeps working after the rewrite.
std::string ReplaceTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view text, bool ownerOnly) {
  const std::string target = ReplaceTarget(path);
  const std::string folder = FolderOf(target);
  if (!DirectoryExists(folder) && !ForceDirectories(folder)) return false;
  std::string temp = target + ".XXXXXX";
  FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  struct stat old {};
  const mode_t mode = !ownerOnly && stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0600;
  const bool ok = WriteAll(fd.get(), text) && fchmod(fd.get(), mode) == 0 && fsync(fd.get()) == 0 &&
                  fd.Close() && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here loses nothing already
  // written, so it does not fail the call.
  FileDescriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) fsync(folderFd.get());
  return true;
}

std::optional<std::string> ReadFileUpTo(const std::string& path, size_t limit, bool* missing) {
  if (missing != nullptr) *missing = false;
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (missing != nullptr) *missing = errno == ENOENT;
    return std::nullopt;
  }
  std::string text;
  char buffer[16384];
  while (text.size() < limit) {
    const size_t want = std::min(sizeof buffer, limit - text.size());
    const ssize_t got = read(fd.get(), buffer, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

}  // namespace kestrix
