#include "engine/cookie_jar.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include <algorithm>
#include <ctime>
#include <limits>
#include <utility>

#include "core/ascii.h"
#include "core/parsed_url.h"
#include "engine/set_cookie.h"

namespace kestrix {

int64_t UnixNow() {
  return static_cast<int64_t>(std::time(nullptr));
}

namespace {

constexpr int64_t kLongAgo = std::numeric_limits<int64_t>::min();
constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

bool IsIpAddress(const std::string& host) {
  in_addr v4{};
  return host.find(':') != std::string::npos || host.starts_with('[') ||
         inet_pton(AF_INET, host.c_str(), &v4) == 1;
}

// Host names reach the jar in their ASCII (punycode) form, in lower case;
// anything else in a domain is not a name a request could carry, and could
// not be written to a cookies file and read back the same.
bool IsUsableDomain(std::string_view domain) {
  if (domain.empty() || domain.size() > 253 || domain.front() == '.') return false;
  return std::all_of(domain.begin(), domain.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' ||
           c == ':' || c == '[' || c == ']';
  });
}

// The host is the domain or lies below it; an IP address has no subdomains.
bool DomainMatches(const std::string& host, const std::string& domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.ends_with(domain) &&
         host[host.size() - domain.size() - 1] == '.' && !IsIpAddress(host);
}

bool PathMatches(std::string_view requestPath, const std::string& cookiePath) {
  if (!requestPath.starts_with(cookiePath)) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.ends_with('/') ||
         requestPath[cookiePath.size()] == '/';
}

// Where a cookie without a Path applies: the request's folder, without its
// last "/".
std::string DefaultPath(std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return "/";
  const size_t slash = requestPath.rfind('/');
  return slash == 0 ? "/" : std::string(requestPath.substr(0, slash));
}

std::string_view RequestPath(const TParsedUrl& url) {
  const std::string_view path = url.Path();
  return path.empty() ? std::string_view("/") : path;
}

bool IsLive(const TCookie& cookie, int64_t now) {
  return cookie.Session || cookie.Expires > now;
}

}  // namespace

TCookieJar::TCookieJar(TCookieLimits limits) : limits_(limits) {
  psl_ = psl_latest(nullptr);
  if (psl_ == nullptr) psl_ = const_cast<psl_ctx_t*>(psl_builtin());
}

TCookieJar::~TCookieJar() {
  psl_free(psl_);  // leaves the built-in list alone
}

TCookieJar::TCookieJar(TCookieJar&& other) noexcept
    : limits_(other.limits_),
      psl_(std::exchange(other.psl_, nullptr)),
      cookies_(std::move(other.cookies_)),
      sequence_(other.sequence_) {}

TCookieJar& TCookieJar::operator=(TCookieJar&& other) noexcept {
  if (this != &other) {
    psl_free(psl_);
    limits_ = other.limits_;
    psl_ = std::exchange(other.psl_, nullptr);
    cookies_ = std::move(other.cookies_);
    sequence_ = other.sequence_;
  }
  return *this;
}

bool TCookieJar::IsPublicSuffix(const std::string& domain) const {
  return psl_ == nullptr || psl_is_public_suffix(psl_, domain.c_str()) != 0;
}

std::string TCookieJar::SiteOf(const std::string& domain) const {
  if (psl_ == nullptr || IsIpAddress(domain)) return domain;
  const char* site = psl_registrable_domain(psl_, domain.c_str());
  return site != nullptr ? std::string(site) : domain;
}

TCookieVerdict TCookieJar::SetCookie(std::string_view url, std::string_view header, int64_t now) {
  const std::optional<TSetCookie> parsed = ParseSetCookie(header);
  const TParsedUrl request = ParseUrl(url);
  if (!parsed || !IsWebScheme(request.Scheme) || !IsUsableDomain(request.HostKey)) {
    return TCookieVerdict::Malformed;
  }
  TCookie cookie;
  cookie.Name = parsed->Name;
  cookie.Value = parsed->Value;
  cookie.Secure = parsed->Secure;
  cookie.HttpOnly = parsed->HttpOnly;
  // Max-Age wins over Expires, wherever either stands.
  if (parsed->MaxAge) {
    cookie.Session = false;
    const int64_t delta = *parsed->MaxAge;
    cookie.Expires = delta <= 0 ? kLongAgo : (delta > kForever - now ? kForever : now + delta);
  } else if (parsed->Expires) {
    cookie.Session = false;
    cookie.Expires = *parsed->Expires;
  }
  std::string domain = parsed->Domain;
  if (!domain.empty()) {
    if (!IsUsableDomain(domain)) return TCookieVerdict::Malformed;
    // A public suffix names no site, except when the host is that suffix
    // itself: the cookie is then the host's own.
    if (IsPublicSuffix(domain)) {
      if (domain != request.HostKey) return TCookieVerdict::PublicSuffix;
      domain.clear();
    }
  }
  if (domain.empty()) {
    cookie.Domain = request.HostKey;
  } else {
    if (!DomainMatches(request.HostKey, domain)) return TCookieVerdict::ForeignDomain;
    cookie.HostOnly = false;
    cookie.Domain = domain;
  }
  cookie.Path = parsed->Path.empty() ? DefaultPath(RequestPath(request)) : parsed->Path;
  if (HasCookieControlBytes(cookie.Path)) return TCookieVerdict::Malformed;
  return Store(std::move(cookie), now);
}

TCookieVerdict TCookieJar::Import(TCookie cookie, int64_t now) {
  AsciiLowerInPlace(cookie.Domain);
  if (cookie.Domain.starts_with('.')) cookie.Domain.erase(0, 1);
  if (cookie.Name.empty() || HasCookieControlBytes(cookie.Name) ||
      HasCookieControlBytes(cookie.Value) || !IsUsableDomain(cookie.Domain) ||
      !cookie.Path.starts_with('/') || HasCookieControlBytes(cookie.Path)) {
    return TCookieVerdict::Malformed;
  }
  if (!cookie.HostOnly && IsPublicSuffix(cookie.Domain)) return TCookieVerdict::PublicSuffix;
  return Store(std::move(cookie), now);
}

TCookieVerdict TCookieJar::Store(TCookie cookie, int64_t now) {
  if (cookie.Name.size() + cookie.Value.size() > limits_.MaxCookieBytes) {
    return TCookieVerdict::TooLarge;
  }
  cookie.Site = SiteOf(cookie.Domain);
  cookie.Created = ++sequence_;
  cookie.LastUsed = cookie.Created;
  // A cookie of the same name, domain and path is replaced; the new one
  // keeps its place in the sending order.
  const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const TCookie& old) {
    return old.Name == cookie.Name && old.Domain == cookie.Domain && old.Path == cookie.Path;
  });
  if (same != cookies_.end()) {
    cookie.Created = same->Created;
    cookies_.erase(same);
  }
  // An expired cookie is how a site deletes one; it is never kept.
  if (!IsLive(cookie, now)) return TCookieVerdict::Deleted;
  const std::string site = cookie.Site;
  cookies_.push_back(std::move(cookie));
  DropExpired(now);
  EvictOver(site);
  return TCookieVerdict::Stored;
}

void TCookieJar::DropExpired(int64_t now) {
  std::erase_if(cookies_, [now](const TCookie& c) { return !IsLive(c, now); });
}

// Over a bound, the cookies used least recently go first: those of the
// crowded site, then any.
void TCookieJar::EvictOver(const std::string& site) {
  const auto leastUsed = [](const TCookie& a, const TCookie& b) { return a.LastUsed < b.LastUsed; };
  for (;;) {
    const size_t count = std::count_if(cookies_.begin(), cookies_.end(),
                                       [&](const TCookie& c) { return c.Site == site; });
    if (count <= limits_.MaxPerSite) break;
    auto oldest = cookies_.end();
    for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
      if (it->Site == site && (oldest == cookies_.end() || leastUsed(*it, *oldest))) oldest = it;
    }
    cookies_.erase(oldest);
  }
  while (cookies_.size() > limits_.MaxTotal) {
    cookies_.erase(std::min_element(cookies_.begin(), cookies_.end(), leastUsed));
  }
}

std::string TCookieJar::CookieHeader(std::string_view url, int64_t now) {
  const TParsedUrl request = ParseUrl(url);
  const std::string_view path = RequestPath(request);
  const bool secure = request.Scheme == "https";
  std::vector<TCookie*> matching;
  for (TCookie& c : cookies_) {
    const bool domainOk =
        c.HostOnly ? c.Domain == request.HostKey : DomainMatches(request.HostKey, c.Domain);
    if (domainOk && IsLive(c, now) && (!c.Secure || secure) && PathMatches(path, c.Path)) {
      matching.push_back(&c);
    }
  }
  std::sort(matching.begin(), matching.end(), [](const TCookie* a, const TCookie* b) {
    if (a->Path.size() != b->Path.size()) return a->Path.size() > b->Path.size();
    return a->Created < b->Created;
  });
  std::string header;
  for (TCookie* c : matching) {
    c->LastUsed = ++sequence_;
    if (!header.empty()) header += "; ";
    header += c->Name + "=" + c->Value;
  }
  return header;
}

std::vector<TCookie> TCookieJar::Cookies(int64_t now) const {
  std::vector<TCookie> live;
  for (const TCookie& c : cookies_) {
    if (IsLive(c, now)) live.push_back(c);
  }
  std::sort(live.begin(), live.end(),
            [](const TCookie& a, const TCookie& b) { return a.Created < b.Created; });
  return live;
}

}  // namespace kestrix
