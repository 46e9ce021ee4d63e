#include "links/crawl_traps.h"

#include <unordered_map>
#include <vector>

#include "core/global_options.h"

namespace kestrix {

TTrapLimits TrapLimitsOf(const TGlobalOptions& options) {
  return {options.MaxUrlLength, options.MaxPathRepeats, options.MaxQueryVariants};
}

bool PathRepeats(std::string_view path, int times) {
  if (times < 2) return false;
  // Each segment as a number, so that runs compare by numbers.
  std::vector<int> ids;
  std::unordered_map<std::string_view, int> known;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      ids.push_back(
          known.try_emplace(path.substr(start, end - start), static_cast<int>(known.size()))
              .first->second);
    }
    start = end + 1;
  }
  const size_t n = ids.size();
  const auto count = static_cast<size_t>(times);
  // A run of `length` segments repeated `times` times is a stretch where
  // each segment equals the one `length` places on, (times - 1) * length long.
  for (size_t length = 1; length * count <= n; ++length) {
    size_t streak = 0;
    for (size_t i = 0; i + length < n; ++i) {
      streak = ids[i] == ids[i + length] ? streak + 1 : 0;
      if (streak >= (count - 1) * length) return true;
    }
  }
  return false;
}

std::string QueryKey(const TParsedUrl& url) {
  return url.Text.substr(0, url.Text.find('?'));
}

TTrap TrapOf(const TParsedUrl& url, const TTrapLimits& limits, const TEngineState& state) {
  if (limits.MaxUrlLength > 0 && url.Text.size() > static_cast<size_t>(limits.MaxUrlLength)) {
    return TTrap::UrlTooLong;
  }
  if (limits.MaxPathRepeats > 0 && PathRepeats(url.Path(), limits.MaxPathRepeats)) {
    return TTrap::RepeatingPath;
  }
  if (limits.MaxQueryVariants > 0 && url.Text.find('?') != std::string::npos) {
    const auto found = state.QueryVariants.find(QueryKey(url));
    if (found != state.QueryVariants.end() && found->second >= limits.MaxQueryVariants) {
      return TTrap::QueryVariants;
    }
  }
  return TTrap::None;
}

bool PassTrapGuards(const TParsedUrl& url, const TTrapLimits& limits, TEngineState& state) {
  const TTrap trap = TrapOf(url, limits, state);
  if (trap != TTrap::None) {
    ++state.TrapRefusals[static_cast<size_t>(trap) - 1];
    return false;
  }
  if (url.Text.find('?') != std::string::npos) ++state.QueryVariants[QueryKey(url)];
  return true;
}

}  // namespace kestrix
