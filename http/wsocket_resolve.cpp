#include "http/wsocket_resolve.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cctype>
#include <cstring>

#include "core/ascii.h"
#include "http/dns_lookup.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// The leading decimal number after leading blanks, or nullopt.
std::optional<int> LeadingNumber(const std::string& text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[i]))) {
    return std::nullopt;
  }
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 65535) return std::nullopt;
  }
  return static_cast<int>(value);
}

}  // namespace

std::optional<std::string> DottedAddress(const std::string& text) {
  std::string t = Trim(text);
  int parts[4] = {};
  int count = 0;
  std::size_t i = 0;
  while (count < 4) {
    std::size_t start = i;
    int value = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && i - start < 3) {
      value = value * 10 + (t[i] - '0');
      ++i;
    }
    if (i == start || value > 255) return std::nullopt;
    parts[count++] = value;
    if (count < 4) {
      if (i >= t.size() || t[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != t.size()) return std::nullopt;
  return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
         std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

TResolvedHost WSocketResolveHost(const std::string& text) {
  if (text.empty() || text.size() > 256) {
    throw ESocketException("WSocketResolveHost: '" + text + "' Invalid Hostname.");
  }
  TResolvedHost out;
  std::string address;
  if (auto dotted = DottedAddress(text)) {
    address = *dotted;
  } else if (text.find(':') != std::string::npos) {
    address = Trim(text);  // an IPv6 literal
  } else {
    bool looksDotted =
        !Trim(text).empty() && Trim(text).find_first_not_of("0123456789.") == std::string::npos;
    if (looksDotted) {
      throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
    }
    TLookupAnswer answer = LookupHostNow(text);
    if (answer.Error) {
      throw ESocketException("WSocketResolveHost: Cannot convert host address '" + text +
                             "', Error #" + std::to_string(answer.Error));
    }
    address = answer.Addresses.front();
  }
  auto* v4 = reinterpret_cast<sockaddr_in*>(&out.Address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&out.Address);
  if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    out.Length = sizeof(sockaddr_in);
  } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    out.Length = sizeof(sockaddr_in6);
  } else {
    throw ESocketException("WSocketResolveHost: '" + text + "' Invalid IP address.");
  }
  return out;
}

int WSocketResolvePort(const std::string& text, const std::string& proto) {
  if (text.empty() || text.size() >= 32) {
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  }
  if (auto number = LeadingNumber(text)) return *number;
  servent entry{};
  servent* found = nullptr;
  char buf[1024];
  getservbyname_r(Trim(text).c_str(), proto.c_str(), &entry, buf, sizeof buf, &found);
  if (!found) {
    throw ESocketException("WSocketResolvePort: Cannot convert port '" + text + "', Error #" +
                           std::to_string(WSANO_DATA));
  }
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}

int WSocketResolveProto(const std::string& text) {
  if (text.empty() || text.size() >= 32) {
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  }
  if (auto number = LeadingNumber(text)) return *number;
  std::string name = Trim(text);
  // The two the socket supports are known without asking the system, which
  // may lack a protocols database in small containers.
  if (EqualsNoCase(name, "tcp")) return IPPROTO_TCP;
  if (EqualsNoCase(name, "udp")) return IPPROTO_UDP;
  protoent entry{};
  protoent* found = nullptr;
  char buf[1024];
  getprotobyname_r(name.c_str(), &entry, buf, sizeof buf, &found);
  if (!found) {
    throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + text + "', Error #" +
                           std::to_string(WSANO_DATA));
  }
  return found->p_proto;
}

}  // namespace kestrix
