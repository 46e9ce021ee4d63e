// Compresses records into a file as gzip members, one member per record, so
// that a reader can start at any record's offset and a member cut short by a
// stop spoils only its own record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kestrix {

class TGzipMemberWriter {
 public:
  // Writes to `fd` (borrowed) at its current position; `level` is zlib's.
  TGzipMemberWriter(int fd, int level);
  ~TGzipMemberWriter();
  TGzipMemberWriter(const TGzipMemberWriter&) = delete;
  TGzipMemberWriter& operator=(const TGzipMemberWriter&) = delete;

  // Starts a member; `store` leaves its bytes uncompressed (for bodies that
  // are compressed already, where deflate costs much time and saves nothing).
  void Begin(bool store = false);
  // False on a failed write; errno tells why.
  bool Write(const char* data, std::size_t size);
  bool Write(std::string_view data) { return Write(data.data(), data.size()); }
  bool Finish();
  // Compressed bytes written for the member since Begin.
  std::uint64_t MemberSize() const { return memberSize_; }

 private:
  bool Deflate(int flush);

  struct Stream;
  std::unique_ptr<Stream> stream_;
  int fd_;
  int level_;
  bool storing_ = false;
  std::uint64_t memberSize_ = 0;
};

// Writes all of `data` to `fd`, going on after interruptions; false with
// errno set on failure.
bool WriteAll(int fd, const char* data, std::size_t size);

}  // namespace kestrix
