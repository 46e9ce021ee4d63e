#include "core/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The file to replace: when the settings path is a symbolic link, the file it
// names, so that the link keeps working after the rewrite.
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

bool ReplaceAtomically(const std::string& path, std::string_view text, bool ownerOnly) {
  const std::string target = ReplaceTarget(path);
  // The first write creates the file, and the folder of a per-user settings
  // file with it.
  const std::string folder = FolderOf(target);
  if (!DirectoryExists(folder) && !ForceDirectories(folder)) return false;
  std::string temp = target + ".XXXXXX";
  FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  // The file holds a scrambled, not an encrypted, password: a new one is
  // readable by its owner only; an existing one keeps its permissions.
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

}  // namespace

bool IniFile::Load(IniDocument& doc) const {
  FileDescriptor fd(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) return false;
    doc = IniDocument();
    return true;
  }
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  doc = IniDocument::Parse(text);
  return true;
}

IniDocument IniFile::Read() const {
  IniDocument doc;
  if (!Load(doc)) return IniDocument();
  return doc;
}

bool IniFile::Save(const IniDocument& doc, bool ownerOnly) {
  return ReplaceAtomically(path_, doc.ToText(), ownerOnly);
}

bool IniFile::Update(const std::function<bool(IniDocument&)>& change, bool ownerOnly) {
  IniDocument doc;
  return Load(doc) && change(doc) && Save(doc, ownerOnly);
}

std::vector<IniEntry> IniFile::ReadSection(std::string_view section) const {
  return Read().ReadSection(section);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const {
  return Read().ReadString(section, key, defaultValue);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  return Read().ReadInteger(section, key, defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return Read().ReadBool(section, key, defaultValue);
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  return Update([&](IniDocument& doc) { return doc.WriteString(section, key, value); });
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return Update([&](IniDocument& doc) { return doc.WriteInteger(section, key, value); });
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return Update([&](IniDocument& doc) { return doc.WriteBool(section, key, value); });
}

bool IniFile::EraseSection(std::string_view section) {
  return Update([&](IniDocument& doc) {
    doc.EraseSection(section);
    return true;
  });
}

}  // namespace kestrix
