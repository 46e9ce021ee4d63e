// The named fields that open a web archive record, and the values that go
// into them: record identifiers, dates, and URIs made safe for a header.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrix {

class TWarcFields {
 public:
  // Neither may break the header: in a value, line ends and other control
  // characters become blanks; in a name, anything but token characters
  // becomes "-".
  void Add(std::string_view name, std::string_view value);
  // The header block ("WARC/1.1", the fields, Content-Length, blank line).
  std::string Text(std::uint64_t contentLength) const;
  // The fields alone, one "name: value" line each, as warcinfo's body.
  std::string Lines() const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// "<urn:uuid:...>" with a random (version 4) UUID.
std::string NewRecordId();
// "2026-12-06T10:00:00Z": UTC to the second.
std::string WarcDate(std::chrono::system_clock::time_point when);
// "20261206100000" from a record date.
std::string CdxTimestamp(std::string_view warcDate);
// The URL with every byte outside printable ASCII, and the few printable
// ones a URI may not hold, percent-escaped: a target URI goes into a
// header line and an index line as it stands.
std::string SafeUri(std::string_view url);

}  // namespace kestrix
