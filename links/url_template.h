// Starting URLs may be templates standing for a series of URLs: groups in
// angle brackets list values or ranges, e.g. http://host/img<1-20>.jpg, and
// the template expands to every combination, the first group varying slowest.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace kestrix {

// A template may stand for at most this many URLs, and their text may take at
// most kMaxTemplateBytes; a template beyond either limit is treated as
// malformed (empty result), so <1-99999><1-99999> cannot exhaust memory.
inline constexpr std::size_t kMaxTemplateUrls = 100000;
inline constexpr std::size_t kMaxTemplateBytes = std::size_t{64} << 20;

// One group of the template, chained to the next one.
class TToken {
 public:
  TToken() = default;
  TToken(const TToken&) = delete;
  TToken& operator=(const TToken&) = delete;
  // Frees the chain after this token without recursing, so that a template
  // of many groups cannot exhaust the stack.
  ~TToken();

  // Makes a new token the child of `parent` (replacing any child it had).
  static TToken* Chain(TToken& parent);

  TToken* Parent = nullptr;
  std::unique_ptr<TToken> Child;    // owned
  std::string Prefix;               // literal text before this group's "<"
  std::vector<std::string> Values;  // Prefix joined with each value, in order
};

// Appends the expansion of `templ` to `out`. A template without groups
// appends nothing; a malformed one (unbalanced brackets, or beyond the
// limits above) empties `out`.
void ExpandUrlTemplate(const std::string& templ, std::vector<std::string>& out);

}  // namespace kestrix
