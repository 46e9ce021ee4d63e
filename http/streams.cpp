#include "http/streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kestrix {

std::size_t TMemoryInStream::Read(char* buffer, std::size_t size) {
  std::size_t n = std::min(size, data_.size() - std::min(Position, data_.size()));
  std::memcpy(buffer, data_.data() + Position, n);
  Position += n;
  return n;
}

TFileOutStream::TFileOutStream(const std::string& path, TMode mode) : path_(path) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Append ? O_APPEND : O_TRUNC);
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) {
    const int error = errno;
    throw EFileError("Cannot open file \"" + path + "\": " + strerror(error), error);
  }
}

TFileOutStream::~TFileOutStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TFileOutStream::Write(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;  // nothing written and no error: no room
      throw EFileError("Cannot write file \"" + path_ + "\": " + strerror(error), error);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace kestrix
