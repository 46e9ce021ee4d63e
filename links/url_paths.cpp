#include "links/url_paths.h"

#include "core/dot_segments.h"
#include "core/url_split.h"
#include "links/link_text.h"
#include "links/text_util.h"

namespace kestrix {
namespace {

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (s.find(from) == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  std::size_t start = 0;
  for (std::size_t pos; (pos = s.find(from, start)) != std::string::npos;
       start = pos + from.size()) {
    out.append(s, start, pos - start).append(to);
  }
  out.append(s, start);
  s = std::move(out);
}

}  // namespace

std::string UrlDirWithSlash(std::string_view url) {
  return GetUrlDir(SplitUrl(url).Path);
}

std::string ResolveUrl(std::string_view link, std::string_view proto, std::string_view host,
                       std::string_view dir) {
  const std::string_view h = TrimControls(link);
  const std::string scheme = std::string(proto) + "://";
  if (h == "/") {
    std::string r = std::string(host) + "/";
    if (!ContainsNoCase(r, scheme)) r = scheme + r;
    return r;
  }

  std::string path;
  if (!h.starts_with('/')) path.append(dir);
  path.append(h.substr(0, h.find('#')));
  std::string r(host);
  for (std::string* part : {&r, &path}) {
    ReplaceAll(*part, " ", "%20");
    ReplaceAll(*part, "amp;", "");
  }
  // Last, so that what the clean-up joins ("/.amp;./") cannot form a
  // dot segment behind it.
  r += WithoutDotSegments(path);
  if (!StartsNoCase(r, scheme)) r = scheme + r;
  return r;
}

std::string AbsoluteUrl(std::string_view link, const TLinkBase& base) {
  link = TrimControls(link);
  link = link.substr(0, link.find('#'));
  if (link.starts_with("//"))
    return WithoutDotSegments(std::string(base.Proto) + ":" + std::string(link));
  if (const std::string_view scheme = LinkScheme(link); !scheme.empty()) {
    return IsFetchableScheme(scheme) ? WithoutDotSegments(link) : std::string(link);
  }
  // "?page=2" asks the page's own document again, not its folder's index.
  if (link.starts_with('?')) {
    return ResolveUrl(std::string(base.File) + std::string(link), base.Proto, base.Host, base.Dir);
  }
  return ResolveUrl(link, base.Proto, base.Host, base.Dir);
}

bool IsValidDirName(std::string_view name) {
  return name.find_first_of("\":<>?|") == std::string_view::npos;
}

std::string RemoveAmp(std::string_view text) {
  std::string s(text);
  ReplaceAll(s, "amp;", "");
  return s;
}

}  // namespace kestrix
