#include "engine/queue_summary.h"

#include <unordered_map>

#include "core/url_list.h"
#include "core/url_split.h"
#include "engine/queue_texts.h"
#include "http/socket_errors.h"

namespace kestrix {

namespace {

constexpr std::array<const char*, 9> kRowNames = {
    "Html", "Images", "Frames", "IFrames", "Forms", "Embeded", "Scripts", "StyleSheets", "Total"};

}  // namespace

int SummaryRowOfKind(int32_t linkKind) {
  switch (linkKind) {
    case 0:  // a starting URL
    case 1:  // A
    case 7:  // AREA
    case 8:  // META
      return 0;
    case 2:
      return 1;  // IMG
    case 3:
      return 2;  // FRAME
    case 4:
      return 3;  // IFRAME
    case 5:
      return 4;  // FORM
    case 9:
      return 5;  // EMBED
    case 10:
      return 6;  // SCRIPT
    case 11:
      return 7;  // LINK
    default:
      return -1;  // BASE, ftp anchors and anything above, negative kinds
  }
}

TQueueSummary SummariseQueue(const UrlList& queue) {
  TQueueSummary summary;
  for (size_t row = 0; row < kRowNames.size(); ++row) summary.Rows[row].Name = kRowNames[row];
  std::unordered_map<std::string, size_t> hostRows;
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& entry = queue.Entry(i);
    if (int row = SummaryRowOfKind(entry.LinkKind); row >= 0) {
      TSummaryRow& counters = summary.Rows[static_cast<size_t>(row)];
      counters.Count += 1;
      counters.Size += entry.ReceivedSize;
      if (entry.ErrorCode > 0) counters.Errors += 1;
    }
    // An entry without a host name adds to no host row: the grid would have
    // counted it in its empty last row, which is then dropped.
    std::string host = SplitUrl(entry.Job.editUrl).Host;
    if (!host.empty()) {
      auto [it, added] = hostRows.try_emplace(host, summary.Hosts.size());
      if (added) summary.Hosts.push_back({std::move(host), 0});
      summary.Hosts[it->second].Pages += 1;
    }
    if (entry.ErrorCode > 0) {
      summary.Failed.push_back({entry.Job.editUrl, EntryErrorText(entry.ErrorCode) + " (#" +
                                                       std::to_string(entry.ErrorCode) + ")"});
    }
  }
  TSummaryRow& total = summary.Rows[8];
  for (size_t row = 0; row < 8; ++row) {
    total.Count += summary.Rows[row].Count;
    total.Size += summary.Rows[row].Size;
    total.Errors += summary.Rows[row].Errors;
  }
  return summary;
}

}  // namespace kestrix
