// The small stream interfaces through which the HTTP client hands a reply
// body to its owner and reads a POST body from it. The owner keeps the
// streams; the client only borrows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace kestrix {

class TOutStream {
 public:
  virtual ~TOutStream() = default;
  // Writes everything or throws.
  virtual void Write(const char* data, std::size_t size) = 0;
};

class TInStream {
 public:
  virtual ~TInStream() = default;
  // The whole size, whatever the position.
  virtual std::int64_t Size() const = 0;
  // Reads up to `size` bytes from the current position; 0 at the end.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Back to the first byte: a relocated POST sends its whole body again.
  virtual void Rewind() = 0;
};

class TStringOutStream : public TOutStream {
 public:
  void Write(const char* data, std::size_t size) override { Data.append(data, size); }
  std::string Data;
};

class TMemoryInStream : public TInStream {
 public:
  explicit TMemoryInStream(std::string data) : data_(std::move(data)) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
  std::size_t Read(char* buffer, std::size_t size) override;
  void Rewind() override { Position = 0; }
  std::size_t Position = 0;

 private:
  std::string data_;
};

// A file that cannot be opened or written: the message names the path and
// the system's reason, Errno is the system's code.
class EFileError : public std::runtime_error {
 public:
  EFileError(const std::string& message, int error) : std::runtime_error(message), Errno(error) {}
  int Errno;
};

// A file written through the descriptor, without a buffer of its own: the
// client already hands over pieces of up to 8192 bytes.
class TFileOutStream : public TOutStream {
 public:
  enum TMode { Create, Append };
  // Throws EFileError when the file cannot be opened (and Write when it
  // cannot be written).
  TFileOutStream(const std::string& path, TMode mode);
  ~TFileOutStream() override;
  TFileOutStream(const TFileOutStream&) = delete;
  TFileOutStream& operator=(const TFileOutStream&) = delete;
  void Write(const char* data, std::size_t size) override;

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace kestrix
