#include "http/relocation.h"

#include "core/ascii.h"
#include "core/url_split.h"

namespace kestrix {
namespace {

void RelocateDirect(TRequestTarget& t, std::string_view value) {
  if (!value.empty() && value.front() == '/') {
    t.RequestPath = value;
    t.Location = t.Scheme + "://" + t.HostName + std::string(value);
    return;
  }
  TUrlParts v = SplitUrl(value);
  std::string proto = v.Proto.empty() ? t.Scheme : v.Proto;
  if (!v.Proto.empty() && !v.Host.empty()) {
    t.Scheme = AsciiLower(v.Proto);
    t.HostName = t.TargetHost = v.Host;
    t.RequestPath = v.Path.empty() ? "/" : v.Path;
    t.Port = v.Port.empty() ? DefaultPortOf(t.Scheme) : v.Port;
    t.Location = v.Proto + "://" + v.Host + v.Path;
  } else if (v.Path.empty()) {  // a bare name, which the splitter returns as host
    t.Location = proto + "://" + t.TargetHost + "/" + v.Host;
    t.HostName = t.TargetHost;
    t.RequestPath = "/" + v.Host;
    if (!v.Port.empty()) t.Port = v.Port;
  } else if (v.Host.empty()) {
    t.Location = proto + "://" + t.TargetHost + v.Path;
    t.HostName = t.TargetHost;
    t.RequestPath = v.Path;
    if (!v.Port.empty()) t.Port = v.Port;
  } else {  // relative with a "/", whose first segment is taken for a host
    t.HostName = t.TargetHost = v.Host;
    t.RequestPath = v.Path;
    t.Location = "http://" + v.Host + v.Path;
    t.Port = v.Port.empty() ? "80" : v.Port;
  }
}

void RelocateThroughProxy(TRequestTarget& t, std::string_view value) {
  if (!value.empty() && value.front() == '/') {
    TUrlParts cur = SplitUrl(t.RequestPath);
    t.Location = (cur.Proto.empty() ? "http" : cur.Proto) + "://" + cur.Host +
                 (cur.Port.empty() ? "" : ":" + cur.Port) + std::string(value);
  } else {
    TUrlParts v = SplitUrl(value);
    // A relative value stays on the scheme of the page that sent it: an
    // https page must not be sent on to plain http.
    std::string proto = v.Proto.empty() ? t.Scheme : v.Proto;
    if (!v.Proto.empty() && !v.Host.empty()) {
      t.Location = v.Proto + "://" + v.Host + (v.Port.empty() ? "" : ":" + v.Port) + v.Path;
      t.TargetHost = v.Host;
    } else if (v.Path.empty()) {
      t.Location = proto + "://" + t.TargetHost + "/" + v.Host;
    } else if (v.Host.empty()) {
      t.Location = proto + "://" + t.TargetHost + v.Path;
    } else {
      t.Location = "http://" + v.Host + v.Path;
      t.TargetHost = v.Host;
    }
  }
  t.RequestPath = t.Location;
  const std::string scheme = SplitUrl(t.Location).Proto;
  t.Scheme = scheme.empty() ? "http" : AsciiLower(scheme);
}

}  // namespace

const char* DefaultPortOf(const std::string& scheme) {
  return scheme == "https" ? "443" : "80";
}

void Relocate(TRequestTarget& target, std::string_view value, bool proxyMode) {
  if (proxyMode) {
    RelocateThroughProxy(target, value);
  } else {
    RelocateDirect(target, value);
  }
}

}  // namespace kestrix
