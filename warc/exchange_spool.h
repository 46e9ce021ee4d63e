// One HTTP exchange on its way into an archive. A record's length and
// digests come before its block, so the reply is kept in an unnamed
// temporary file beside the archive (never in memory, and never left behind
// by a crash) until the exchange ends; the digests are computed as the
// bytes go by, so the block is read back only once, to be compressed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "warc/http_message_scan.h"
#include "warc/sha1_digest.h"

namespace kestrix {

class TExchangeSpool {
 public:
  // `folder` holds the temporary file; Failed() when it cannot be made.
  explicit TExchangeSpool(const std::string& folder);
  ~TExchangeSpool();
  TExchangeSpool(const TExchangeSpool&) = delete;
  TExchangeSpool& operator=(const TExchangeSpool&) = delete;

  void Request(std::string_view bytes);
  // False once the temporary file could not be written (errno tells why).
  bool Reply(std::string_view bytes);
  // Writes out what is still buffered; call before reading the file.
  bool Flush();

  bool Failed() const { return fd_ < 0 || failed_; }
  int Errno() const { return errno_; }

  const std::string& RequestBytes() const { return request_; }
  const THttpMessageScan& RequestScan() const { return requestScan_; }
  std::string RequestDigest() const;

  int ReplyFd() const { return fd_; }
  std::uint64_t ReplySize() const { return replySize_; }
  const THttpMessageScan& ReplyScan() const { return replyScan_; }
  std::string ReplyDigest() const { return replyDigest_.Label(); }

 private:
  std::string request_;
  THttpMessageScan requestScan_;
  int fd_ = -1;
  bool failed_ = false;
  int errno_ = 0;
  std::vector<char> buffer_;
  std::uint64_t replySize_ = 0;
  TSha1Digest replyDigest_;
  THttpMessageScan replyScan_;
};

}  // namespace kestrix
