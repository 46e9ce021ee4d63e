#include "http/body_decoder.h"

#include <cctype>

#include "core/ascii.h"

namespace kestrix {
namespace {

std::string Trimmed(std::string_view text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
  while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
  return AsciiLower(text.substr(from, to - from));
}

}  // namespace

TContentCoding ContentCodingOf(std::string_view value) {
  const std::string coding = Trimmed(value);
  if (coding.empty() || coding == "identity") return TContentCoding::Identity;
  if (coding == "gzip" || coding == "x-gzip") return TContentCoding::Gzip;
  if (coding == "deflate") return TContentCoding::Deflate;
  return TContentCoding::Unsupported;
}

bool IsChunkedTransfer(std::string_view value) {
  return Trimmed(value) == "chunked";
}

TBodyDecoder::TBodyDecoder(TOutStream& target, bool chunked, TContentCoding coding)
    : counter_(target) {
  if (chunked) chunked_ = std::make_unique<TChunkedDecoder>();
  if (coding != TContentCoding::Identity && coding != TContentCoding::Unsupported) {
    content_ = std::make_unique<TContentDecoder>(counter_, coding);
    NoteError();
  }
}

TBodyDecoder::~TBodyDecoder() = default;

void TBodyDecoder::NoteError() {
  if (!error_.empty()) return;
  if (chunked_ && !chunked_->Error().empty()) error_ = chunked_->Error();
  if (content_ && !content_->Error().empty()) error_ = content_->Error();
}

void TBodyDecoder::Write(const char* data, std::size_t size) {
  if (!error_.empty() || size == 0) return;
  TOutStream& payload = content_ ? static_cast<TOutStream&>(*content_) : counter_;
  // Whatever follows the last chunk is not part of the body.
  if (chunked_) {
    chunked_->Feed(data, size, payload);
  } else {
    payload.Write(data, size);
  }
  NoteError();
}

std::string TBodyDecoder::Finish() {
  if (!error_.empty()) return error_;
  if (chunked_ && !chunked_->LastChunkSeen()) {
    error_ = "the chunked body ended before its last chunk";
  } else if (content_) {
    error_ = content_->Finish();
  }
  return error_;
}

}  // namespace kestrix
