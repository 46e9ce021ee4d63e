// Undoes the framing and the compression of a reply body on its way to the
// owner's stream, for an owner that reads the raw body itself. Servers are
// not supposed to send either to an HTTP/1.0 client, but some do; saved
// raw, such a body would be kept as garbage and counted as a good copy.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "http/chunked_decoder.h"
#include "http/content_decoder.h"
#include "http/streams.h"

namespace kestrix {

// The coding named by a Content-Encoding value ("gzip", "x-gzip",
// "deflate", "identity" or empty), as a server may send it unasked;
// anything else, a list of several codings included, is Unsupported.
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
  std::int64_t Written() const { return counter_.Written; }

 private:
  struct TCounter : TOutStream {
    explicit TCounter(TOutStream& target) : Target(target) {}
    void Write(const char* data, std::size_t size) override {
      Target.Write(data, size);
      Written += static_cast<std::int64_t>(size);
    }
    TOutStream& Target;
    std::int64_t Written = 0;
  };
  void NoteError();

  TCounter counter_;
  std::unique_ptr<TChunkedDecoder> chunked_;
  std::unique_ptr<TContentDecoder> content_;
  std::string error_;
};

}  // namespace kestrix
