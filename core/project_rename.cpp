#include "core/project_rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/file_util.h"
#include "core/project_name.h"

namespace kestrix {

namespace {

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Walks the history records without interpreting them: little-endian 32-bit
// integers, strings as a 32-bit length and the bytes.
class RecordWalker {
 public:
  explicit RecordWalker(std::string_view bytes) : bytes_(bytes) {}

  size_t Position() const { return pos_; }
  bool Skip(size_t count) {
    if (bytes_.size() - pos_ < count) return false;
    pos_ += count;
    return true;
  }
  bool Int(int32_t& value) {
    if (bytes_.size() - pos_ < 4) return false;
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) {
      u = (u << 8) | static_cast<unsigned char>(bytes_[pos_ + static_cast<size_t>(i)]);
    }
    value = static_cast<int32_t>(u);
    pos_ += 4;
    return true;
  }
  bool String(std::string_view* text = nullptr) {
    int32_t length = 0;
    if (!Int(length) || length < 0) return false;
    const size_t start = pos_;
    if (!Skip(static_cast<size_t>(length))) return false;
    if (text != nullptr) *text = bytes_.substr(start, static_cast<size_t>(length));
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

void PutString(std::string& out, std::string_view text) {
  const auto length = static_cast<uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((length >> shift) & 0xFFu));
  }
  out += text;
}

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  bytes = std::move(text).str();
  return !file.bad();
}

// Writes `bytes` to `path`, which must not exist yet, through a temporary
// file, so that a full disk never leaves a short history behind.
bool WriteNew(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::string_view rest = bytes;
  bool ok = true;
  while (ok && !rest.empty()) {
    const ssize_t n = write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) rest.remove_prefix(static_cast<size_t>(n));
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || !RenameNoReplace(temp, path)) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool RenameNoReplace(const std::string& from, const std::string& to) {
  // A plain rename would silently replace an empty folder or a file that
  // appeared at the target since it was checked.
  return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

std::string RebaseHistoryFolders(std::string_view bytes, std::string_view oldPrefix,
                                 std::string_view newPrefix) {
  RecordWalker in(bytes);
  int32_t count = 0;
  if (!in.Int(count) || !in.Skip(8)) return std::string(bytes);
  std::string out(bytes.substr(0, in.Position()));
  size_t kept = in.Position();  // end of the last record read whole
  for (int32_t i = 0; i < count; ++i) {
    std::string_view folder;
    // URL, four flag bytes, link kind, linked text, post data, start URL.
    if (!in.String() || !in.Skip(8) || !in.String() || !in.String() || !in.String()) break;
    const size_t folderAt = in.Position();
    // Local folder, file name, date and seven integers.
    if (!in.String(&folder) || !in.String() || !in.Skip(8 + 7 * 4)) break;
    out.append(bytes.substr(kept, folderAt - kept));
    if (folder.starts_with(oldPrefix)) {
      PutString(out, std::string(newPrefix) + std::string(folder.substr(oldPrefix.size())));
    } else {
      PutString(out, folder);
    }
    const size_t folderEnd = folderAt + 4 + folder.size();
    out.append(bytes.substr(folderEnd, in.Position() - folderEnd));
    kept = in.Position();
  }
  out.append(bytes.substr(kept));
  return out;
}

std::string RenameProjectData(const std::string& downloadFolder, const std::string& oldName,
                              const std::string& newName, const TRenamePath& renameFolder) {
  if (std::string error = ProjectNameError(newName); !error.empty()) return error;
  if (oldName == newName) return {};
  const std::string folder = downloadFolder + oldName + "/";
  if (!DirectoryExists(folder)) return {};
  const std::string target = downloadFolder + newName + "/";
  if (PathExists(downloadFolder + newName)) {
    return "Cannot rename directory: " + folder + " (" + target + " already exists)";
  }
  const std::string oldHistory = folder + oldName + ".his";
  // Written beside the old one first: the old file stays untouched until the
  // folder has moved, so a failure leaves the project exactly as it was.
  const std::string newHistory = folder + newName + ".his";
  bool historyWritten = false;
  if (PathExists(oldHistory)) {
    std::string bytes;
    if (PathExists(newHistory)) {
      return "Cannot rename file: " + oldHistory + " (" + newHistory + " already exists)";
    }
    if (!ReadWhole(oldHistory, bytes) ||
        !WriteNew(newHistory, RebaseHistoryFolders(bytes, folder, target))) {
      return "Cannot rename file: " + oldHistory;
    }
    historyWritten = true;
  }
  if (!renameFolder(downloadFolder + oldName, downloadFolder + newName)) {
    if (historyWritten) std::remove(newHistory.c_str());
    return "Cannot rename directory: " + folder;
  }
  // The old history now lies in the renamed folder and is superseded; a
  // leftover copy would never be read, as it carries the old name.
  if (historyWritten) std::remove((target + oldName + ".his").c_str());
  // The cookie jar is named after the project too: renamed with it, the
  // project keeps its sessions and logins.
  const std::string oldJar = target + oldName + ".cookies";
  if (PathExists(oldJar)) RenameNoReplace(oldJar, target + newName + ".cookies");
  return {};
}

}  // namespace kestrix
