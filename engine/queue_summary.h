// The Summary page's figures: count, size and errors of the queue by kind of
// link, the pages per host, and the failed entries. A pure function of the
// queue, so the desktop window and the command line show the same numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

class UrlList;

struct TSummaryRow {
  std::string Name;  // "Html", "Images", ..., "Total"
  int32_t Count = 0;
  // Sizes are summed in 64 bits: a few large files would overflow 32.
  int64_t Size = 0;
  int32_t Errors = 0;
};

struct THostPages {
  std::string Host;
  int32_t Pages = 0;
};

struct TFailedEntry {
  std::string Url;
  std::string Error;  // socket error text + " (#" + code + ")"
};

struct TQueueSummary {
  // Rows 0..7 are the link kinds, row 8 is "Total" (the sum of rows 0..7).
  std::array<TSummaryRow, 9> Rows;
  std::vector<THostPages> Hosts;  // in the order the hosts were first met
  std::vector<TFailedEntry> Failed;
};

// The summary row (0..7) counting entries of `linkKind`, or -1 for kinds that
// are not counted (BASE, ftp anchors and above, negative kinds).
int SummaryRowOfKind(int32_t linkKind);

TQueueSummary SummariseQueue(const UrlList& queue);

}  // namespace kestrix
