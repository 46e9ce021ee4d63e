#include "warc/gzip_member.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <new>
#include <vector>

namespace kestrix {

namespace {
constexpr std::size_t kOutSize = 128 * 1024;
constexpr int kGzipWindow = 15 + 16;  // 15-bit window, gzip header and trailer
}  // namespace

struct TGzipMemberWriter::Stream {
  z_stream z{};
  std::vector<unsigned char> out = std::vector<unsigned char>(kOutSize);
};

TGzipMemberWriter::TGzipMemberWriter(int fd, int level)
    : stream_(new Stream), fd_(fd), level_(level) {
  if (deflateInit2(&stream_->z, level, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
}

TGzipMemberWriter::~TGzipMemberWriter() {
  deflateEnd(&stream_->z);
}

void TGzipMemberWriter::Begin(bool store) {
  deflateReset(&stream_->z);
  if (store != storing_) {
    // Allowed here: nothing has been fed since the reset.
    deflateParams(&stream_->z, store ? Z_NO_COMPRESSION : level_, Z_DEFAULT_STRATEGY);
    storing_ = store;
  }
  memberSize_ = 0;
}

bool TGzipMemberWriter::Write(const char* data, std::size_t size) {
  z_stream& z = stream_->z;
  while (size > 0) {
    // avail_in is 32 bits wide: feed a large piece in slices.
    const std::size_t slice = size < (1u << 30) ? size : (1u << 30);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(slice);
    if (!Deflate(Z_NO_FLUSH)) return false;
    data += slice;
    size -= slice;
  }
  return true;
}

bool TGzipMemberWriter::Finish() {
  stream_->z.next_in = nullptr;
  stream_->z.avail_in = 0;
  return Deflate(Z_FINISH);
}

bool TGzipMemberWriter::Deflate(int flush) {
  z_stream& z = stream_->z;
  for (;;) {
    z.next_out = stream_->out.data();
    z.avail_out = static_cast<uInt>(stream_->out.size());
    const int result = deflate(&z, flush);
    const std::size_t produced = stream_->out.size() - z.avail_out;
    if (produced > 0) {
      if (!WriteAll(fd_, reinterpret_cast<const char*>(stream_->out.data()), produced)) {
        return false;
      }
      memberSize_ += produced;
    }
    if (flush == Z_FINISH) {
      if (result == Z_STREAM_END) return true;
    } else if (z.avail_in == 0 && z.avail_out != 0) {
      return true;
    }
    if (result != Z_OK && result != Z_BUF_ERROR) {
      errno = EIO;
      return false;
    }
  }
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace kestrix
