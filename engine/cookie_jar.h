// The cookies of one project: what sites set, kept and sent back by the
// rules browsers follow, so that a session (a language choice, a consent
// page, a login) carries from page to page and from run to run.
//
// Values never leave the jar except in a Cookie header and in the jar's own
// file: there is deliberately no way to format a cookie for display, so no
// log line can show a session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct psl_ctx_st;

namespace kestrix {

struct TCookie {
  std::string Name;
  std::string Value;
  std::string Domain;  // lower case, no leading "."
  std::string Path;
  bool Session = true;   // kept for the run (and in the project's jar), no expiry date
  int64_t Expires = 0;   // seconds since 1970, when not a session cookie
  bool HostOnly = true;  // sent to Domain itself only, not to its subdomains
  bool Secure = false;   // sent over https only
  bool HttpOnly = false;
  // Bookkeeping: the registrable domain the cookie counts against, and the
  // jar's sequence numbers of its creation and last use.
  std::string Site;
  uint64_t Created = 0;
  uint64_t LastUsed = 0;
};

enum class TCookieVerdict {
  Stored,         // kept (a new cookie or a replacement)
  Deleted,        // an expired cookie: any cookie it names is gone
  Malformed,      // no name=value, control bytes, an unusable domain
  ForeignDomain,  // its Domain does not cover the host that set it
  PublicSuffix,   // its Domain is a public suffix ("co.uk")
  TooLarge,       // name and value over the size bound
};

// Bounds that keep a site from filling memory. Browsers keep about 180
// cookies per site and a few thousand in all, of up to 4 KiB each.
struct TCookieLimits {
  size_t MaxCookieBytes = 4096;  // name plus value
  size_t MaxPerSite = 180;       // per registrable domain
  size_t MaxTotal = 3000;
};

// Seconds since 1970, now: the time the jar, its files and the robots.txt
// cache are given.
int64_t UnixNow();

class TCookieJar {
 public:
  explicit TCookieJar(TCookieLimits limits = {});
  ~TCookieJar();
  TCookieJar(TCookieJar&&) noexcept;
  TCookieJar& operator=(TCookieJar&&) noexcept;

  // Takes one Set-Cookie value of a reply to `url`, at `now` (seconds since
  // 1970).
  TCookieVerdict SetCookie(std::string_view url, std::string_view header, int64_t now);
  // Takes a cookie read from a cookies file: the same checks but the one
  // against a request host.
  TCookieVerdict Import(TCookie cookie, int64_t now);

  // The value of the Cookie header for a request to `url`: every live
  // cookie whose domain and path cover it (Secure ones over https only),
  // longest paths first, then oldest first, as "a=1; b=2". Empty when none.
  std::string CookieHeader(std::string_view url, int64_t now);

  // The cookies alive at `now`, oldest first.
  std::vector<TCookie> Cookies(int64_t now) const;
  size_t Count() const { return cookies_.size(); }
  void Clear() { cookies_.clear(); }

 private:
  TCookieVerdict Store(TCookie cookie, int64_t now);
  bool IsPublicSuffix(const std::string& domain) const;
  std::string SiteOf(const std::string& domain) const;
  void DropExpired(int64_t now);
  void EvictOver(const std::string& site);

  TCookieLimits limits_;
  // The public suffix list: the newest of the one built into the library and
  // the one the system keeps up to date. Without any, only host-only
  // cookies are accepted.
  psl_ctx_st* psl_ = nullptr;
  std::vector<TCookie> cookies_;
  uint64_t sequence_ = 0;
};

}  // namespace kestrix
