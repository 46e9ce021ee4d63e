// What a site's robots.txt allows us, read as major crawlers read it: the
// group of User-agent lines that names our product token (else the "*"
// group), Allow and Disallow patterns with "*" and a closing "$", the
// longest matching pattern deciding and Allow winning a tie, and the
// Crawl-delay some sites ask for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The product token our User-agent lines answer to, in any letter case.
inline constexpr std::string_view kRobotsAgent = "Kestrix";
// Only this much of a robots.txt is read; major crawlers stop at the same
// size, so a site cannot make us hold or scan more.
inline constexpr size_t kMaxRobotsBytes = 500 * 1024;
// A Crawl-delay above a day is taken as a day.
inline constexpr double kMaxCrawlDelaySeconds = 86400;

class TRobotsRules {
 public:
  // Everything allowed, no delay: a site without robots.txt.
  TRobotsRules() = default;

  // Reads robots.txt text for the agent `agent`. A byte order mark, CRLF or
  // CR line ends, comments, blank lines and unknown lines (Sitemap and the
  // like) are all taken in stride; rules before any User-agent line belong
  // to no group and are ignored.
  static TRobotsRules Parse(std::string_view text, std::string_view agent = kRobotsAgent);
  // Nothing allowed: a site whose robots.txt cannot be reached.
  static TRobotsRules DisallowAll();

  // Whether the path with its query ("/a/b?x=1") may be fetched. Percent
  // escapes of unreserved characters count as those characters, so
  // "/%7Ejoe" and "/~joe" are one path. "/robots.txt" is always allowed.
  bool Allowed(std::string_view pathAndQuery) const;

  // The delay the site asks for between requests, in seconds, when its
  // group gives a readable one.
  std::optional<double> CrawlDelay() const { return crawlDelay_; }

 private:
  struct TRule {
    std::string Pattern;  // normalised; "$" at its end anchors it
    bool Allow = false;
  };
  std::vector<TRule> rules_;  // longest first, Allow first at equal length
  std::optional<double> crawlDelay_;
};

}  // namespace kestrix
