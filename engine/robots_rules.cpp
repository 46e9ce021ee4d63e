#include "engine/robots_rules.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cmath>
#include <memory>

#include "core/ascii.h"

namespace kestrix {
namespace {

struct TGroup {
  std::vector<std::string> Agents;
  std::vector<std::pair<std::string, bool>> Rules;  // pattern, allow
  std::optional<double> CrawlDelay;
  bool HasLines = false;  // a rule or a delay came after the User-agent lines
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLowerChar(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool IsUnreserved(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// One spelling for one path: escapes of unreserved characters decoded,
// other escapes in upper case, bytes beyond ASCII escaped.
std::string Normalise(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      const char decoded = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      if (IsUnreserved(decoded)) {
        out += decoded;
      } else {
        out += '%';
        out += AsciiUpper(text[i + 1]);
        out += AsciiUpper(text[i + 2]);
      }
      i += 2;
    } else if (byte >= 0x80) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += text[i];
    }
  }
  return out;
}

// Whether the pattern matches the start of the path (all of it with a
// closing "$"). Pieces between stars are placed leftmost, which leaves the
// most room for the pieces after them, so no backtracking is needed and the
// cost stays linear in the path for each piece.
bool Matches(std::string_view path, std::string_view pattern) {
  const bool anchored = pattern.ends_with('$');
  if (anchored) pattern.remove_suffix(1);
  const size_t firstStar = pattern.find('*');
  const std::string_view head = pattern.substr(0, firstStar);
  if (!path.starts_with(head)) return false;
  if (firstStar == std::string_view::npos) return !anchored || path.size() == head.size();
  size_t at = head.size();
  std::string_view rest = pattern.substr(firstStar + 1);
  for (;;) {
    const size_t star = rest.find('*');
    const std::string_view piece = rest.substr(0, star);
    if (star == std::string_view::npos) {
      if (!anchored) return path.find(piece, at) != std::string_view::npos;
      return path.size() >= at + piece.size() && path.ends_with(piece);
    }
    const size_t found = path.find(piece, at);
    if (found == std::string_view::npos) return false;
    at = found + piece.size();
    rest.remove_prefix(star + 1);
  }
}

// The pairs of adjacent bytes a text holds, one bit each.
using TBytePairs = std::bitset<1 << 16>;

size_t PairIndex(char a, char b) {
  return static_cast<size_t>(static_cast<unsigned char>(a)) << 8 | static_cast<unsigned char>(b);
}

void CollectPairs(std::string_view text, TBytePairs& pairs) {
  for (size_t i = 1; i < text.size(); ++i) pairs.set(PairIndex(text[i - 1], text[i]));
}

// Whether every pair of adjacent bytes in the pattern's pieces occurs in the
// path: a pattern that fails this cannot match, and is passed over without
// scanning the path for each of its pieces. A file of the size bound in
// rules that start with "*" would otherwise cost every decision a scan of
// the path per rule.
bool MayMatch(std::string_view pattern, const TBytePairs& pathPairs) {
  for (size_t i = 1; i < pattern.size(); ++i) {
    const char a = pattern[i - 1], b = pattern[i];
    if (a == '*' || b == '*' || b == '$') continue;
    if (!pathPairs.test(PairIndex(a, b))) return false;
  }
  return true;
}

// The product token of a User-agent value: its leading letters, "_" and
// "-" ("Kestrix/1.0" names "Kestrix").
std::string_view ProductToken(std::string_view value) {
  size_t end = 0;
  while (end < value.size()) {
    const char c = AsciiLowerChar(value[end]);
    if ((c < 'a' || c > 'z') && c != '_' && c != '-') break;
    ++end;
  }
  return value.substr(0, end);
}

std::optional<double> ParseDelay(std::string_view value) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(seconds) ||
      seconds < 0) {
    return std::nullopt;
  }
  return std::min(seconds, kMaxCrawlDelaySeconds);
}

std::vector<TGroup> ReadGroups(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.size() > kMaxRobotsBytes) {
    text = text.substr(0, kMaxRobotsBytes);
    // The line cut in two is dropped rather than read as a shorter rule.
    const size_t lastBreak = text.find_last_of("\r\n");
    text = text.substr(0, lastBreak == std::string_view::npos ? 0 : lastBreak);
  }
  std::vector<TGroup> groups;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = Trim(line.substr(0, line.find('#')));
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = AsciiLower(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (key == "user-agent") {
      if (groups.empty() || groups.back().HasLines) groups.emplace_back();
      groups.back().Agents.emplace_back(value);
    } else if (groups.empty()) {
      continue;
    } else if (key == "allow" || key == "disallow") {
      groups.back().HasLines = true;
      // An empty Disallow allows everything; an empty Allow says nothing.
      if (!value.empty()) groups.back().Rules.emplace_back(value, key == "allow");
    } else if (key == "crawl-delay") {
      groups.back().HasLines = true;
      if (!groups.back().CrawlDelay) groups.back().CrawlDelay = ParseDelay(value);
    }
  }
  return groups;
}

}  // namespace

TRobotsRules TRobotsRules::Parse(std::string_view text, std::string_view agent) {
  const std::vector<TGroup> groups = ReadGroups(text);
  // Our own groups when any names us, all of them together; else every "*"
  // group together.
  std::vector<const TGroup*> chosen, wildcard;
  for (const TGroup& group : groups) {
    bool ours = false, any = false;
    for (const std::string& name : group.Agents) {
      ours = ours || EqualsNoCase(ProductToken(name), agent);
      any = any || name.starts_with('*');
    }
    if (ours) chosen.push_back(&group);
    if (any) wildcard.push_back(&group);
  }
  if (chosen.empty()) chosen = wildcard;
  TRobotsRules rules;
  for (const TGroup* group : chosen) {
    for (const auto& [pattern, allow] : group->Rules) {
      std::string normal = Normalise(pattern);
      if (!normal.starts_with('/') && !normal.starts_with('*')) normal.insert(0, "/");
      rules.rules_.push_back({std::move(normal), allow});
    }
    if (group->CrawlDelay && (!rules.crawlDelay_ || *group->CrawlDelay > *rules.crawlDelay_)) {
      rules.crawlDelay_ = group->CrawlDelay;
    }
  }
  // In the order a decision weighs them (longest first, Allow first at equal
  // length), so the first match decides; repeated rules are kept once, as a
  // file of one rule repeated to the size bound would otherwise cost each
  // decision that many scans of the path.
  auto& all = rules.rules_;
  std::sort(all.begin(), all.end(), [](const TRule& a, const TRule& b) {
    if (a.Pattern.size() != b.Pattern.size()) return a.Pattern.size() > b.Pattern.size();
    if (a.Allow != b.Allow) return a.Allow;
    return a.Pattern < b.Pattern;
  });
  all.erase(std::unique(all.begin(), all.end(),
                        [](const TRule& a, const TRule& b) {
                          return a.Allow == b.Allow && a.Pattern == b.Pattern;
                        }),
            all.end());
  return rules;
}

TRobotsRules TRobotsRules::DisallowAll() {
  TRobotsRules rules;
  rules.rules_.push_back({"/", false});
  return rules;
}

bool TRobotsRules::Allowed(std::string_view pathAndQuery) const {
  const std::string path = Normalise(pathAndQuery.empty() ? "/" : pathAndQuery);
  if (path == "/robots.txt") return true;
  // 8 KiB, on the heap only when there are rules to weigh.
  if (rules_.empty()) return true;
  const auto pairs = std::make_unique<TBytePairs>();
  CollectPairs(path, *pairs);
  for (const TRule& rule : rules_) {
    if (MayMatch(rule.Pattern, *pairs) && Matches(path, rule.Pattern)) return rule.Allow;
  }
  return true;
}

}  // namespace kestrix
