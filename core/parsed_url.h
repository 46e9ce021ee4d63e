// A URL taken apart once. Deciding whether to queue a link, filtering it and
// naming its file read the same scheme, server, folder and file name several
// times; cutting and case-folding the text again at each step did the same
// work over and over for every link of every page.
#pragma once

#include <string>
#include <string_view>

#include "core/url_split.h"

namespace kestrix {

struct TParsedUrl {
  std::string Text;     // the URL as given
  TUrlParts Parts;      // as SplitUrl cuts it; Parts.Path keeps query and fragment
  std::string Scheme;   // Parts.Proto lower-cased
  std::string HostKey;  // Parts.Host lower-cased
  std::string PortKey;  // Parts.Port, empty when it is the scheme's default

  // Views into the parts, valid while the value lives unchanged. Most links
  // are already queued, so what only naming needs is not built for them.
  std::string_view Path() const;      // Parts.Path up to its "?" or "#"
  std::string_view Query() const;     // after the "?", up to any "#"
  std::string_view Fragment() const;  // after the "#"
  std::string_view Dir() const { return UrlDirView(Parts.Path); }      // GetUrlDir of the path
  std::string_view FileName() const { return UrlFileNameView(Text); }  // GetUrlFileName
};

TParsedUrl ParseUrl(std::string_view url);

// The URL's text with a port equal to its scheme's default taken out
// ("http://h:80/x" gives "http://h/x"): one document, one queue entry. Any
// other URL comes back as it was given.
std::string WithoutDefaultPort(const TParsedUrl& url);

// Whether links of `scheme` (lower-case) are fetched over HTTP: http and https.
bool IsWebScheme(std::string_view scheme);

// Whether two URLs name one server: the same host, where http and https
// count alike, so that a site that moved to https is still the same site.
// Ports are not compared: a job has always taken every port of its start
// host for its own server, and jobs rely on that.
bool SameServer(const TParsedUrl& a, const TParsedUrl& b);

// Whether `url` lies in the folder `dir` (an absolute URL ending in "/") on
// the same host and port, where http and https count alike and a scheme's
// default port (80, 443, 21) is the same as naming none; the path is
// compared without regard to ASCII case.
bool InsideFolder(const TParsedUrl& url, const TParsedUrl& dir);

}  // namespace kestrix
