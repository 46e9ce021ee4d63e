// Any bytes as what sites and users hand the politeness rules: Set-Cookie
// values, cookies files, robots.txt, cached robots answers, Retry-After and
// sizes. Nothing may crash, and what the jar writes must read back the same.
#include <string>
#include <string_view>

#include "core/byte_size.h"
#include "engine/cookie_file.h"
#include "engine/cookie_jar.h"
#include "engine/robots_cache.h"
#include "engine/robots_rules.h"
#include "tests/fuzz/fuzz_entry.h"

constexpr int64_t kNow = 1'700'000'000;

KESTRIX_FUZZ_TARGET(1 << 16, bytes) {
  // One jar for the whole run: loading the public suffix list per input
  // would leave no time for fuzzing.
  static TCookieJar jar;
  jar.Clear();

  // Each line a Set-Cookie value of a reply, then the whole text as a file.
  for (const std::string& line : fuzz::Lines(bytes))
    jar.SetCookie("https://www.example.com/a/b", line, kNow);
  DecodeCookieFile(bytes, jar, kNow);
  const std::string header = jar.CookieHeader("https://sub.www.example.com/a/b/c", kNow);
  Check(header.find_first_of("\r\n") == std::string::npos);
  const std::string file = EncodeCookieFile(jar, kNow);
  static TCookieJar again;
  again.Clear();
  DecodeCookieFile(file, again, kNow);
  Check(EncodeCookieFile(again, kNow) == file);

  const TRobotsRules rules = TRobotsRules::Parse(bytes);
  rules.Allowed(bytes.substr(0, 256));
  Check(rules.Allowed("/robots.txt"));
  if (const auto entry = DecodeRobotsCache(bytes)) {
    Check(DecodeRobotsCache(EncodeRobotsCache(*entry)) == entry);
    IsFreshRobotsCache(*entry, kNow);
  }
  if (const auto n = ParseByteSize(bytes.substr(0, 32))) Check(*n >= 0);
}
