// Any bytes as the header values that frame a reply, and as a coded body:
// framing must give one answer or a reason, and decoding must never crash
// nor write anything after its first fault.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page_type.h"
#include "http/chunked_decoder.h"
#include "http/content_decoder.h"
#include "http/http_dates.h"
#include "http/reply_framing.h"
#include "tests/fuzz/fuzz_entry.h"

KESTRIX_FUZZ_TARGET(1 << 16, bytes) {
  const std::size_t size = bytes.size();
  const std::vector<std::string> header = fuzz::Lines(bytes);
  IsHtmlType(header.front());

  const std::string first(header.front());
  const TReplyFraming framing = FramingOf(200, false, {first}, bytes.substr(first.size()));
  Check(framing.Error.empty() || framing.Kind == TBodyFraming::Close);
  Check(framing.Kind != TBodyFraming::Length || framing.Length > 0);
  const std::optional<std::int64_t> wait = RetryAfterSeconds(first, 40000);
  Check(!wait || (*wait >= 0 && *wait <= 366 * 86400));
  HttpDateValue(bytes);

  // The same bytes as a body in each framing and coding, in two pieces.
  const std::size_t half = size / 2;
  for (const bool chunked : {false, true}) {
    TStringOutStream payload;
    if (chunked) {
      TChunkedDecoder chunks;
      const std::size_t used = chunks.Feed(bytes.data(), half, payload);
      if (used == half) chunks.Feed(bytes.data() + half, size - half, payload);
      Check(payload.Data.size() <= size);
    } else {
      payload.Data.assign(bytes);
    }
    for (const TContentCoding kind :
         {TContentCoding::Gzip, TContentCoding::Deflate, TContentCoding::Brotli}) {
      TStringOutStream out;
      TContentDecoder decoder(out, kind);
      const std::size_t middle = payload.Data.size() / 2;
      decoder.Write(payload.Data.data(), middle);
      const std::size_t before = out.Data.size();
      const bool failed = !decoder.Error().empty();
      decoder.Write(payload.Data.data() + middle, payload.Data.size() - middle);
      if (failed) Check(out.Data.size() == before);
      decoder.Finish();
    }
  }
}
