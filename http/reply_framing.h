// Where a reply's body ends, from its status and header fields, when the
// client reads the framing itself (HTTP/1.1): no body at all, a length, the
// chunked coding, or the server's close. A reply whose end cannot be known
// for certain is refused: read on a kept connection, a wrong guess would
// hand one reply's bytes to the next request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "http/content_decoder.h"

namespace kestrix {

enum class TBodyFraming : std::uint8_t { None, Length, Chunked, Close };

struct TReplyFraming {
  TBodyFraming Kind = TBodyFraming::Close;
  std::int64_t Length = -1;  // for Length
  // Transfer codings other than chunked, in the order the server applied
  // them; undone before the content codings.
  std::vector<TContentCoding> TransferCodings;
  std::string Error;  // why the reply cannot be framed; empty when it can
};

// `contentLengths` holds the value of every Content-Length field as
// received; `transferEncoding` all Transfer-Encoding values joined by ",".
TReplyFraming FramingOf(int status, bool headRequest,
                        const std::vector<std::string>& contentLengths,
                        std::string_view transferEncoding);

}  // namespace kestrix
