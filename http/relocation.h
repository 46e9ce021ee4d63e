// Where a relocated request goes next: the new connection target and
// request target computed from a "Location:" value, in direct and proxy mode.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

struct TRequestTarget {
  std::string HostName;  // where to connect (the proxy in proxy mode)
  std::string Port;
  std::string TargetHost;       // the "Host:" header
  std::string RequestPath;      // the request line's target
  std::string Location;         // the absolute URL now requested
  std::string Scheme = "http";  // "http" or "https", lower case

  bool operator==(const TRequestTarget&) const = default;
};

// The port a scheme's URLs use when they name none.
const char* DefaultPortOf(const std::string& scheme);

// Applies the "Location:" value to `target`. User name and password in the
// value are ignored: credentials never travel with a relocation.
void Relocate(TRequestTarget& target, std::string_view value, bool proxyMode);

}  // namespace kestrix
