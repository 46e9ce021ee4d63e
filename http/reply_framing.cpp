#include "http/reply_framing.h"

#include "core/ascii.h"
#include "http/http_helpers.h"

namespace kestrix {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One length from all the Content-Length values; a list of equal values
// ("5, 5") is one length, as proxies that merge fields send it.
bool OneLength(const std::vector<std::string>& values, std::int64_t& length, std::string& error) {
  length = -1;
  for (const std::string& value : values) {
    std::string_view rest = value;
    do {
      const std::size_t comma = rest.find(',');
      const std::string_view item = Trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      const auto parsed = ParseDecimal(item);
      if (!parsed || *parsed < 0 || item.front() == '+' || item.front() == '-') {
        error = "Content-Length is not a length: " + std::string(item.substr(0, 100));
        return false;
      }
      if (length >= 0 && *parsed != length) {
        error = "conflicting Content-Length values";
        return false;
      }
      length = *parsed;
    } while (!rest.empty());
  }
  return true;
}

}  // namespace

TReplyFraming FramingOf(int status, bool headRequest,
                        const std::vector<std::string>& contentLengths,
                        std::string_view transferEncoding) {
  TReplyFraming framing;
  if (headRequest || status == 204 || status == 304 || (status >= 100 && status < 200)) {
    framing.Kind = TBodyFraming::None;
    return framing;
  }
  const bool transfer = !Trim(transferEncoding).empty();
  if (transfer && !contentLengths.empty()) {
    // Two ways to the end that may disagree: the classic way to smuggle a
    // second reply into a kept connection.
    framing.Error = "both Content-Length and Transfer-Encoding";
    return framing;
  }
  if (transfer) {
    std::string_view rest = transferEncoding;
    bool chunkedLast = false;
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      const std::string_view item = Trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      if (item.empty()) continue;
      if (chunkedLast) {
        framing.Error = "the chunked coding is not the last transfer coding";
        return framing;
      }
      if (EqualsNoCase(item, "chunked")) {
        chunkedLast = true;
        continue;
      }
      TCodingList one = ParseCodingList(item);
      if (!one.Unknown.empty()) {
        framing.Error = "unsupported Transfer-Encoding: " + one.Unknown;
        return framing;
      }
      framing.TransferCodings.insert(framing.TransferCodings.end(), one.Codings.begin(),
                                     one.Codings.end());
    }
    // Without chunked last, only the close ends the body.
    framing.Kind = chunkedLast ? TBodyFraming::Chunked : TBodyFraming::Close;
    return framing;
  }
  if (!contentLengths.empty()) {
    if (!OneLength(contentLengths, framing.Length, framing.Error)) return framing;
    framing.Kind = framing.Length == 0 ? TBodyFraming::None : TBodyFraming::Length;
    return framing;
  }
  framing.Kind = TBodyFraming::Close;
  return framing;
}

}  // namespace kestrix
