#include "core/parsed_url.h"

#include <algorithm>

#include "core/ascii.h"

namespace kestrix {
namespace {

std::string_view DefaultPort(std::string_view scheme) {
  if (scheme == "http") return "80";
  if (scheme == "https") return "443";
  if (scheme == "ftp") return "21";
  return {};
}

// The scheme a server is known by: http and https serve one site.
std::string_view ServerScheme(std::string_view scheme) {
  return IsWebScheme(scheme) ? std::string_view("http") : scheme;
}

}  // namespace

TParsedUrl ParseUrl(std::string_view url) {
  TParsedUrl out;
  out.Text = url;
  out.Parts = SplitUrl(url);
  out.Scheme = out.Parts.Proto;
  AsciiLowerInPlace(out.Scheme);
  out.HostKey = out.Parts.Host;
  AsciiLowerInPlace(out.HostKey);
  if (out.Parts.Port != DefaultPort(out.Scheme)) out.PortKey = out.Parts.Port;
  return out;
}

std::string WithoutDefaultPort(const TParsedUrl& url) {
  const std::string& text = url.Text;
  if (url.Parts.Port.empty() || !url.PortKey.empty()) return text;
  const std::size_t start = text.find("://");
  if (start == std::string::npos) return text;
  const std::size_t end = std::min(text.find_first_of("/?#", start + 3), text.size());
  const std::size_t colon = text.rfind(':', end - 1);
  if (colon == std::string::npos || colon < start + 3 ||
      std::string_view(text).substr(colon + 1, end - colon - 1) != url.Parts.Port)
    return text;
  return text.substr(0, colon) + text.substr(end);
}

std::string_view TParsedUrl::Path() const {
  const std::string_view path = Parts.Path;
  return path.substr(0, path.find_first_of("?#"));
}

std::string_view TParsedUrl::Query() const {
  const std::string_view path = Parts.Path;
  const std::string_view beforeHash = path.substr(0, path.find('#'));
  const std::size_t mark = beforeHash.find('?');
  return mark == std::string_view::npos ? std::string_view() : beforeHash.substr(mark + 1);
}

std::string_view TParsedUrl::Fragment() const {
  const std::string_view path = Parts.Path;
  const std::size_t hash = path.find('#');
  return hash == std::string_view::npos ? std::string_view() : path.substr(hash + 1);
}

bool IsWebScheme(std::string_view scheme) {
  return scheme == "http" || scheme == "https";
}

bool SameServer(const TParsedUrl& a, const TParsedUrl& b) {
  return ServerScheme(a.Scheme) == ServerScheme(b.Scheme) && a.HostKey == b.HostKey;
}

bool InsideFolder(const TParsedUrl& url, const TParsedUrl& dir) {
  return SameServer(url, dir) && url.PortKey == dir.PortKey && StartsNoCase(url.Path(), dir.Dir());
}

}  // namespace kestrix
