// Turning the socket's text settings (address, port, protocol) into the
// values the system calls take, with the socket's own error texts.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace kestrix {

// Four decimal numbers of at most 255 separated by three dots, with blanks
// allowed only around the whole; returns the canonical dotted form.
std::optional<std::string> DottedAddress(const std::string& text);

struct TResolvedHost {
  sockaddr_storage Address{};
  socklen_t Length = 0;
};

// A dotted IPv4 address or an IPv6 literal is converted directly; any other
// name is looked up synchronously. Raises ESocketException on failure.
TResolvedHost WSocketResolveHost(const std::string& text);
// A leading decimal number, else a service name looked up for `proto`.
int WSocketResolvePort(const std::string& text, const std::string& proto);
// A leading decimal number, else a protocol name such as "tcp".
int WSocketResolveProto(const std::string& text);

}  // namespace kestrix
