// The wildcard matcher of the job's filter patterns: "*" any run, "?" one
// character, "[a-z]" and "[!abc]" sets, letters without regard to case, and
// the whole text must match.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrix {

// Raised for a pattern with more than 30 wildcard or set positions or an
// unterminated set; what() is "'<pattern>' is an invalid mask at (<pos>)".
class TMaskError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The error text for `pattern`, or nullopt when the pattern is valid. The
// position is 1-based: the 31st wildcard, or the "[" of an unterminated set.
std::optional<std::string> MaskError(std::string_view pattern);

// Whether `text` matches `pattern`; throws TMaskError for an invalid pattern.
bool MatchesMask(std::string_view text, std::string_view pattern);

}  // namespace kestrix
