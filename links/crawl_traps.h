// Guards against sites that make URLs without end: calendars that always
// link the next month, paths that repeat themselves ("a/b/a/b/a/b/..."),
// session ids and sort orders in query strings. A link caught by one is not
// queued; each guard has its own reason, and the run counts them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/parsed_url.h"
#include "core/url_list.h"

namespace kestrix {

// 0 turns a guard off.
struct TTrapLimits {
  int MaxUrlLength = 2048;      // bytes of the whole URL
  int MaxPathRepeats = 3;       // one segment or run of segments this many times in a row
  int MaxQueryVariants = 1000;  // different query strings queued for one path
};

struct TGlobalOptions;
// The guards as the options set them.
TTrapLimits TrapLimitsOf(const TGlobalOptions& options);

enum class TTrap : uint8_t { None, UrlTooLong, RepeatingPath, QueryVariants };

// Whether `path` holds one segment, or one run of segments, `times` times
// in a row ("/a/b/a/b/a/b/" for 3). Empty segments are passed over.
bool PathRepeats(std::string_view path, int times);

// The key under which the query strings of `url`'s path are counted: the
// URL up to its "?".
std::string QueryKey(const TParsedUrl& url);

// The guard `url` would fall into, were it queued now; `state` holds the
// query strings already queued per path.
TTrap TrapOf(const TParsedUrl& url, const TTrapLimits& limits, const TEngineState& state);

// Checks `url`, about to be queued: false, counting the refusal in `state`,
// when a guard catches it; else true, counting its query string.
bool PassTrapGuards(const TParsedUrl& url, const TTrapLimits& limits, TEngineState& state);

}  // namespace kestrix
