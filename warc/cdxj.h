// The index that replay tools read beside an archive: one line per capture,
// "SURT-KEY TIMESTAMP {json}", in plain byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix {

// The sort-friendly form of a URL used as an index key: scheme, "www." and
// the default port dropped, host labels reversed, lower case, query
// arguments sorted ("http://www.Example.com/A?b=1&a=2" gives
// "com,example)/a?a=2&b=1"). Other schemes are kept as they are.
std::string SurtKey(std::string_view url);

struct TCdxjEntry {
  std::string url;
  std::string timestamp;  // 14 digits
  std::string mime;       // empty: left out
  int status = 0;         // 0: left out
  std::string digest;     // without "sha1:"; empty: left out
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::string filename;
};

// One index line, ending in "\n".
std::string CdxjLine(const TCdxjEntry& entry);

// Writes the lines of the file `from` to `to` in byte order, holding about
// `memoryBudget` bytes of lines at a time: larger inputs are sorted in runs
// kept in temporary files beside `to` and merged. False with `error` set
// when a file cannot be read or written.
bool SortLines(const std::string& from, const std::string& to, std::size_t memoryBudget,
               std::string& error);

}  // namespace kestrix
