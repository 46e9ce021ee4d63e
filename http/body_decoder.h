// Undoes the framing and the compression of a reply body on its way to the
// owner's stream. Servers are not supposed to send either to an HTTP/1.0
// client, but some do; saved raw, such a body would be kept as garbage and
// counted as a good copy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "http/streams.h"

namespace kestrix {

enum class TContentCoding : std::uint8_t { Identity, Gzip, Deflate, Unsupported };

// The coding named by a Content-Encoding value ("gzip", "x-gzip",
// "deflate", "identity" or empty); anything else, a list of several
// codings included, is Unsupported.
TContentCoding ContentCodingOf(std::string_view value);

// Whether a Transfer-Encoding value is the chunked framing alone.
bool IsChunkedTransfer(std::string_view value);

class TBodyDecoder : public TOutStream {
 public:
  // `target` is borrowed and gets the decoded bytes; `coding` must not be
  // Unsupported.
  TBodyDecoder(TOutStream& target, bool chunked, TContentCoding coding);
  ~TBodyDecoder() override;
  TBodyDecoder(const TBodyDecoder&) = delete;
  TBodyDecoder& operator=(const TBodyDecoder&) = delete;

  // Never throws for bad input: the first fault is kept (Error) and the
  // rest of the body is dropped. Failures of the target stream do throw.
  void Write(const char* data, std::size_t size) override;

  // Once the body has ended: empty when it decoded whole, else why not.
  std::string Finish();
  const std::string& Error() const { return error_; }
  std::int64_t Written() const { return written_; }

 private:
  void Chunked(const char* data, std::size_t size);
  void Payload(const char* data, std::size_t size);
  bool StartInflate(int windowBits);
  void Fail(const std::string& why);

  enum class TChunkState : std::uint8_t { Size, Data, DataEnd, Trailer, Done };

  TOutStream& target_;
  bool chunked_;
  TContentCoding coding_;
  TChunkState chunkState_ = TChunkState::Size;
  std::string line_;
  std::uint64_t chunkLeft_ = 0;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  bool streamEnded_ = false;  // the compressed stream reached its end
  bool rawTried_ = false;
  std::string firstBytes_;  // kept until the compressed stream proves its kind
  std::int64_t written_ = 0;
  std::string error_;
};

}  // namespace kestrix
