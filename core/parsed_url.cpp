#include "core/parsed_url.h"

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
  out.Lower = AsciiLower(url);
  out.Parts = SplitUrl(url);
  out.Scheme = out.Parts.Proto;
  AsciiLowerInPlace(out.Scheme);
  out.HostKey = out.Parts.Host;
  AsciiLowerInPlace(out.HostKey);
  if (out.Parts.Port != DefaultPort(out.Scheme)) out.PortKey = out.Parts.Port;
  const std::string_view path = out.Parts.Path;
  const std::size_t hash = path.find('#');
  const std::string_view beforeHash = path.substr(0, hash);
  const std::size_t mark = beforeHash.find('?');
  out.Path = beforeHash.substr(0, mark);
  if (mark != std::string_view::npos) out.Query = beforeHash.substr(mark + 1);
  if (hash != std::string_view::npos) out.Fragment = path.substr(hash + 1);
  out.Dir = GetUrlDir(path);
  out.FileName = GetUrlFileName(url);
  return out;
}

bool IsWebScheme(std::string_view scheme) {
  return scheme == "http" || scheme == "https";
}

bool SameServer(const TParsedUrl& a, const TParsedUrl& b) {
  return ServerScheme(a.Scheme) == ServerScheme(b.Scheme) && a.HostKey == b.HostKey;
}

bool InsideFolder(const TParsedUrl& url, const TParsedUrl& dir) {
  return SameServer(url, dir) && url.PortKey == dir.PortKey && StartsNoCase(url.Path, dir.Dir);
}

}  // namespace kestrix
