// Any bytes as the header lines of a reply chain, as the header values that
// frame a reply, and as a coded body: reading the header must never crash,
// framing must give one answer or a reason, and decoding must never write
// more than it reports or go on after its first fault.
#include <string>
#include <string_view>
#include <vector>

#include "engine/reply_header.h"
#include "http/body_decoder.h"
#include "http/http_dates.h"
#include "http/reply_framing.h"
#include "tests/fuzz/fuzz_entry.h"

const std::size_t kestrix::fuzz::kMaxInput = 1 << 16;

void kestrix::fuzz::FuzzOne(std::string_view input) {
  const std::string_view bytes = input;
  const std::size_t size = input.size();
  const std::vector<std::string> header = fuzz::Lines(bytes);
  Check(LastReplyStart(header) <= header.size());
  RelocationTarget(header, "http://h/x", "http://h:8080/a/b.html");
  const std::optional<double> date = LastModifiedOf(header);
  Check(!date || *date >= 0);
  const std::string coding = HeaderValue(header, "content-encoding");
  Check(coding.size() <= bytes.size());
  IsHtmlType(header.front());

  const std::string first(header.front());
  const TReplyFraming framing = FramingOf(200, false, {first}, bytes.substr(first.size()));
  Check(framing.Error.empty() || framing.Kind == TBodyFraming::Close);
  Check(framing.Kind != TBodyFraming::Length || framing.Length > 0);
  const std::optional<std::int64_t> wait = RetryAfterSeconds(first, 40000);
  Check(!wait || (*wait >= 0 && *wait <= 366 * 86400));
  HttpDateValue(bytes);

  // The same bytes as a body in each framing and coding.
  for (const bool chunked : {false, true}) {
    for (const TContentCoding kind : {TContentCoding::Identity, TContentCoding::Gzip,
                                      TContentCoding::Deflate, TContentCoding::Brotli}) {
      TStringOutStream out;
      TBodyDecoder decoder(out, chunked, kind);
      const std::size_t half = size / 2;
      decoder.Write(bytes.data(), half);
      decoder.Write(bytes.data() + half, size - half);
      decoder.Finish();
      Check(static_cast<std::int64_t>(out.Data.size()) == decoder.Written());
      if (!chunked && kind == TContentCoding::Identity) Check(out.Data == bytes);
    }
  }
}
