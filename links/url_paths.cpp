#include "links/url_paths.h"

#include "core/url_split.h"
#include "links/text_util.h"

namespace kestrix {
namespace {

std::string_view StripLeadingDotSlash(std::string_view s) {
  while (s.starts_with("./")) s.remove_prefix(2);
  return s;
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
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

  std::string_view d = dir;
  if (d.ends_with('/')) d.remove_suffix(1);
  const std::string hdFull = GetUrlDir(h);
  std::string_view hd = StripLeadingDotSlash(hdFull);

  std::string r(host);
  if ((hd == "/" || !hd.starts_with('/')) && hd.find("../") == std::string_view::npos) {
    const std::string_view rel = StripLeadingDotSlash(h);
    if (!rel.starts_with('/')) r.append(dir);
    r.append(rel);
  } else if (hd.find("../") != std::string_view::npos) {
    // Each "../" drops one folder of the page's directory. Cutting the link's
    // directory just before the "/" of every "./" keeps the separator that
    // joins what is left of both.
    for (std::size_t pos; (pos = hd.find("./")) != std::string_view::npos;) {
      const std::size_t last = d.rfind('/');
      if (last != std::string_view::npos) d = d.substr(0, last);
      hd.remove_prefix(pos + 1);
    }
    // The file part is what follows the link's own directory. Searching for
    // the shortened directory inside the link instead would find the wrong
    // "/" in a link such as "./../" and keep the "../" in the URL.
    r.append(d).append(hd).append(h.substr(hdFull.size()));
  } else {
    r.append(h);
  }

  if (const std::size_t hash = r.find('#'); hash != std::string::npos) r.resize(hash);
  ReplaceAll(r, " ", "%20");
  ReplaceAll(r, "amp;", "");
  if (!StartsNoCase(r, scheme)) r = scheme + r;
  return r;
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
