#include "warc/exchange_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "warc/gzip_member.h"

namespace kestrix {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// An unnamed file in `folder`, gone when closed; on file systems without
// unnamed files, a named one removed at once.
int OpenUnnamedFile(const std::string& folder) {
  const std::string where = folder.empty() ? "." : folder;
  int fd = open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = where + "/.kestrix-spool-XXXXXX";
  fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) unlink(pattern.c_str());
  return fd;
}

}  // namespace

TExchangeSpool::TExchangeSpool(const std::string& folder) : fd_(OpenUnnamedFile(folder)) {
  if (fd_ < 0) errno_ = errno;
  buffer_.reserve(kBufferSize);
}

TExchangeSpool::~TExchangeSpool() {
  if (fd_ >= 0) close(fd_);
}

void TExchangeSpool::Request(std::string_view bytes) {
  request_.append(bytes);
  requestScan_.Feed(bytes);
}

std::string TExchangeSpool::RequestDigest() const {
  TSha1Digest digest;
  digest.Update(request_);
  return digest.Label();
}

bool TExchangeSpool::Reply(std::string_view bytes) {
  if (Failed()) return false;
  replyDigest_.Update(bytes);
  replyScan_.Feed(bytes);
  replySize_ += bytes.size();
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (!Flush()) return false;
    if (bytes.size() >= kBufferSize) {
      if (!WriteAll(fd_, bytes.data(), bytes.size())) {
        failed_ = true;
        errno_ = errno;
        return false;
      }
      return true;
    }
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return true;
}

bool TExchangeSpool::Flush() {
  if (Failed()) return false;
  if (!buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size())) {
    failed_ = true;
    errno_ = errno;
    return false;
  }
  buffer_.clear();
  return true;
}

}  // namespace kestrix
