// Any bytes as an archive file (plain, and gzip-compressed in two members)
// and as an HTTP message on the wire: reading must never crash nor hand out
// a record out of order or past the end of the file.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_entry.h"
#include "tests/http/coded_bodies.h"
#include "warc/http_message_scan.h"
#include "warc/warc_reader.h"

namespace {

using kestrix::fuzz::Check;
using kestrix::test::Deflated;

void ReadAll(std::string_view file) {
  const int fd = memfd_create("warc", 0);
  Check(fd >= 0);
  Check(write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size()));
  kestrix::TWarcReader reader("/proc/self/fd/" + std::to_string(fd));
  std::uint64_t end = 0;
  while (const auto record = reader.Next()) {
    Check(record->offset >= end && record->offset + record->length <= file.size());
    end = record->offset;
  }
  Check(reader.WholeEnd() <= file.size());
  close(fd);
}

}  // namespace

KESTRIX_FUZZ_TARGET(1 << 16, bytes) {
  const std::size_t size = bytes.size();
  ReadAll(bytes);
  const std::size_t half = size / 2;
  ReadAll(Deflated(std::string(bytes.substr(0, half)), 31) +
          Deflated(std::string(bytes.substr(half)), 31));

  kestrix::THttpMessageScan scan;
  for (std::size_t at = 0; at < size; at += 3) scan.Feed(bytes.substr(at, 3));
  if (!scan.HeaderComplete()) Check(scan.Status() == 0 && !scan.PayloadDigest());
}
