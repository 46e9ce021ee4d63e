// Undoes one content coding (gzip, deflate or br) of a body while it
// streams: compressed bytes in, the document's bytes out to a target
// stream, never a whole body in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/streams.h"

namespace kestrix {

enum class TContentCoding : std::uint8_t { Identity, Gzip, Deflate, Unsupported, Brotli };

// The codings of a Content-Encoding or Transfer-Encoding value, in the
// order the server applied them; "identity" is left out. A coding we cannot
// undo is named in `Unknown` (the list is then of no use).
struct TCodingList {
  std::vector<TContentCoding> Codings;
  std::string Unknown;
};
TCodingList ParseCodingList(std::string_view value);

class TContentDecoder : public TOutStream {
 public:
  // `target` is borrowed; `coding` is Gzip, Deflate or Brotli.
  TContentDecoder(TOutStream& target, TContentCoding coding);
  ~TContentDecoder() override;
  TContentDecoder(const TContentDecoder&) = delete;
  TContentDecoder& operator=(const TContentDecoder&) = delete;

  // Never throws for bad input: the first fault is kept (Error) and the
  // rest is dropped. Failures of the target stream do throw.
  void Write(const char* data, std::size_t size) override;
  // Once the input has ended: empty when the compressed stream was whole,
  // else why not.
  std::string Finish();
  const std::string& Error() const { return error_; }
  // Whether the compressed stream has reached its own end.
  bool Ended() const { return ended_; }

 private:
  void Inflate(const char* data, std::size_t size);
  void Unbrotli(const char* data, std::size_t size);
  bool StartInflate(int windowBits);
  void Emit(const char* data, std::size_t size);
  void Fail(const std::string& why);

  struct Inflater;
  struct Brotli;
  TOutStream& target_;
  TContentCoding coding_;
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<Brotli> brotli_;
  bool ended_ = false;
  bool anyOutput_ = false;
  bool rawTried_ = false;
  std::string firstBytes_;  // kept until the deflate stream proves its kind
  std::string error_;
};

}  // namespace kestrix
