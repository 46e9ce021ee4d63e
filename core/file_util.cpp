#include "core/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/ascii.h"

namespace kestrix {

namespace {

bool IsPermissionError(int error) {
  return error == EACCES || error == EPERM;
}

// Removes one entry of `dirFd` (a file or a link, or an empty folder when
// `flags` is AT_REMOVEDIR). When that fails for lack of permission, the
// containing folder is given owner write and search permission and the
// attempt is made once more.
bool RemoveEntry(int dirFd, const char* name, int flags) {
  if (unlinkat(dirFd, name, flags) == 0) return true;
  if (!IsPermissionError(errno)) return false;
  struct stat st {};
  if (fstat(dirFd, &st) != 0) return false;
  if (fchmod(dirFd, (st.st_mode & 07777) | S_IRWXU) != 0) return false;
  return unlinkat(dirFd, name, flags) == 0;
}

// Opens a folder without following a link in its last component, so that a
// link planted where a folder was expected is never entered.
int OpenFolderNoFollow(int parentFd, const char* name) {
  int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || !IsPermissionError(errno)) return fd;
  // A folder without read or search permission: grant it to the owner first.
  struct stat st {};
  if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return -1;
  if (fchmodat(parentFd, name, (st.st_mode & 07777) | S_IRWXU, 0) != 0) return -1;
  return openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Deletes the entries of the folder open as `fd` (taking ownership of it),
// and each subfolder itself when `deleteItself` is set. Entries whose names
// begin with "." are skipped and do not count as failures; they only keep
// their folder from being removed later.
bool EmptyFolder(int fd, bool deleteItself) {
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return false;
  }
  bool result = true;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat st {};
    if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = false;
    } else if (S_ISDIR(st.st_mode)) {
      const int child = OpenFolderNoFollow(fd, entry->d_name);
      const bool emptied = child >= 0 && EmptyFolder(child, deleteItself);
      if (!emptied || (deleteItself && !RemoveEntry(fd, entry->d_name, AT_REMOVEDIR))) {
        result = false;
      }
    } else if (!RemoveEntry(fd, entry->d_name, 0)) {
      result = false;
    }
  }
  closedir(dir);
  return result;
}

}  // namespace

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderProblem(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  struct stat info {};
  while (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) return std::strerror(errno);
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
      path = slash == 0 ? "/" : ".";
      break;
    }
    path.resize(slash);
  }
  if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return std::strerror(ENOTDIR);
  if (::access(path.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
  return {};
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string prefix;
  prefix.reserve(path.size());
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!prefix.empty() && !DirectoryExists(prefix) && mkdir(prefix.c_str(), 0777) != 0 &&
          errno != EEXIST) {
        return false;
      }
    }
    if (i < path.size()) prefix.push_back(path[i]);
  }
  return DirectoryExists(path);
}

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + '/';
}

bool DeleteDirectory(const std::string& path, bool deleteItself) {
  if (!DirectoryExists(path)) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // The folder named by the caller may itself be reached through a link (a
  // download folder kept on another disk); links inside it are never followed.
  const bool result = EmptyFolder(fd, deleteItself);
  if (!deleteItself || !result) return result;
  // Permissions outside the tree are not the caller's to change.
  return rmdir(path.c_str()) == 0;
}

bool NamedAsHtml(const std::string& path) {
  const std::string name = AsciiLower(path.substr(path.find_last_of('/') + 1));
  return name.ends_with(".htm") || name.ends_with(".html");
}

}  // namespace kestrix
