// Runs the standard archive reader (warcio, under node) over an archive and
// returns its view of each record, so that the tests judge our files by what
// other tools read from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix::test {

struct TReadRecord {
  std::string type, uri, status;
  std::string block, payload;  // "ok", "bad" or "-" (nothing to check)
  std::string content;         // sha1 (hex) of the decoded content
  std::uint64_t offset = 0, length = 0;
};

// Empty when node can be run; else why not, for GTEST_SKIP.
std::string StandardReaderMissing();
// The records, or a failure in `error` (the reader's message).
std::vector<TReadRecord> ReadWithStandardReader(const std::string& warc, std::string& error);
// The reader's own CDXJ index of the file, sorted.
std::string StandardReaderIndex(const std::string& warc, std::string& error);

std::string Sha1Hex(const std::string& bytes);

}  // namespace kestrix::test
