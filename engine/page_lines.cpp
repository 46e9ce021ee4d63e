#include "engine/page_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kestrix {

namespace {

// The whole file in one piece, read straight into the string (a stream
// would copy it twice on the way).
bool ReadWholeFile(const std::string& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0;
  // One byte more than the size, so that a single read also sees the end.
  text.resize(ok && info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1 : 4096);
  size_t filled = 0;
  while (ok) {
    if (filled == text.size()) text.resize(text.size() * 2);
    const ssize_t n = ::read(fd, text.data() + filled, text.size() - filled);
    if (n > 0) {
      filled += static_cast<size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
    }
  }
  ::close(fd);
  text.resize(filled);
  return ok;
}

std::string JoinLines(const TPageLines& page) {
  std::string text;
  for (size_t i = 0; i < page.Lines.size(); ++i) {
    text += page.Lines[i];
    if (i + 1 < page.Lines.size() || page.FinalBreak) text += page.Break;
  }
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool LoadPageLines(const std::string& path, TPageLines& page) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  page.LoadedSize = static_cast<int64_t>(text.size());

  page.Lines.clear();
  const size_t firstBreak = text.find('\n');
  page.Break = firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r'
                   ? "\r\n"
                   : "\n";
  page.FinalBreak = !text.empty() && text.back() == '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t lineEnd = end;
    if (lineEnd > start && text[lineEnd - 1] == '\r') --lineEnd;
    page.Lines.emplace_back(text, start, lineEnd - start);
    start = end + 1;
  }
  return true;
}

bool SavePageLines(const std::string& path, const TPageLines& page) {
  const std::string text = JoinLines(page);
  // Written over the old bytes and cut to length afterwards rather than
  // truncated on opening: the file system flushes a file that was emptied
  // and refilled as soon as it is closed, a disk write per page.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  // Rewritten links mostly make a page longer; then nothing is left to cut.
  const bool shorter = page.LoadedSize < 0 || static_cast<int64_t>(text.size()) < page.LoadedSize;
  if (ok && shorter && ::ftruncate(fd, static_cast<off_t>(text.size())) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool ReplacePageLines(const std::string& path, const TPageLines& page) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, JoinLines(page)) && ::fchmod(fd, info.st_mode & 07777) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace kestrix
