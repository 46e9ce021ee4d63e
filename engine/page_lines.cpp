#include "engine/page_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kestrix {

namespace {

// Pieces read and written at a time: the page is held once, as its lines,
// and never a second time as one whole text beside them.
constexpr size_t kPiece = size_t{1} << 20;

// Reads up to `size` bytes; the count, 0 at the end, -1 on failure.
ssize_t ReadSome(int fd, char* data, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
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

// Writes the page's lines a piece at a time; `written` counts the bytes.
bool WriteLines(int fd, const TPageLines& page, int64_t& written) {
  written = 0;
  std::string buffer;
  buffer.reserve(kPiece);
  for (size_t i = 0; i < page.Lines.size(); ++i) {
    buffer += page.Lines[i];
    if (i + 1 < page.Lines.size() || page.FinalBreak) buffer += page.Break;
    if (buffer.size() >= kPiece || i + 1 == page.Lines.size()) {
      if (!WriteAll(fd, buffer)) return false;
      written += static_cast<int64_t>(buffer.size());
      buffer.clear();
    }
  }
  return true;
}

}  // namespace

bool LoadPageLines(const std::string& path, TPageLines& page) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  page.Lines.clear();
  page.Break = "\n";
  page.FinalBreak = false;
  // A piece as large as the file where it is smaller, and never filled
  // before it is read into: a page of a few kilobytes costs that much, not a
  // mebibyte cleared and searched.
  struct stat info {};
  const bool small =
      ::fstat(fd, &info) == 0 && info.st_size >= 0 && static_cast<uint64_t>(info.st_size) < kPiece;
  const size_t pieceSize = small ? static_cast<size_t>(info.st_size) + 1 : kPiece;
  const std::unique_ptr<char[]> piece(new char[pieceSize]);
  std::string line;  // the line that runs on into the next piece
  bool firstBreak = true;
  bool ok = true;
  int64_t total = 0;
  char last = 0;
  for (;;) {
    const ssize_t n = ReadSome(fd, piece.get(), pieceSize);
    if (n < 0) ok = false;
    if (n <= 0) break;
    total += n;
    const char* data = piece.get();
    const auto size = static_cast<size_t>(n);
    size_t start = 0;
    while (const void* at = std::memchr(data + start, '\n', size - start)) {
      const auto end = static_cast<size_t>(static_cast<const char*>(at) - data);
      line.append(data + start, end - start);
      if (firstBreak) {
        firstBreak = false;
        if (!line.empty() && line.back() == '\r') page.Break = "\r\n";
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      page.Lines.push_back(std::move(line));
      line.clear();
      start = end + 1;
    }
    line.append(data + start, size - start);
    last = data[size - 1];
  }
  ::close(fd);
  if (!line.empty()) page.Lines.push_back(std::move(line));
  page.FinalBreak = last == '\n';
  page.LoadedSize = total;
  return ok;
}

bool SavePageLines(const std::string& path, const TPageLines& page) {
  // Written over the old bytes and cut to length afterwards rather than
  // truncated on opening: the file system flushes a file that was emptied
  // and refilled as soon as it is closed, a disk write per page.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  int64_t written = 0;
  bool ok = WriteLines(fd, page, written);
  // Rewritten links mostly make a page longer; then nothing is left to cut.
  const bool shorter = page.LoadedSize < 0 || written < page.LoadedSize;
  if (ok && shorter && ::ftruncate(fd, static_cast<off_t>(written)) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool ReplacePageLines(const std::string& path, const TPageLines& page) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  int64_t written = 0;
  bool ok = WriteLines(fd, page, written) && ::fchmod(fd, info.st_mode & 07777) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace kestrix
