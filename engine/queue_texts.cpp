#include "engine/queue_texts.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/byte_size.h"
#include "engine/fetch_limits.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01 counted from 1899-12-30
constexpr double kFirstDayAfter9999 = 2958466.0;
constexpr char kNotRewrittenText[] = "Links not rewritten: the page could not be saved again";

std::string LoadedSizeText(const TRetriveRec& entry) {
  if (entry.ErrorCode <= 0 && entry.ReceivedSize < 1) return {};
  if (entry.ContentSize < 1 || entry.ContentSize <= entry.ReceivedSize) {
    return std::to_string(entry.ReceivedSize);
  }
  // In 64 bits: sizes near the 32-bit limit would overflow times 100.
  const int64_t percent = int64_t{entry.ReceivedSize} * 100 / entry.ContentSize;
  return "(" + std::to_string(percent) + "%)  " + std::to_string(entry.ContentSize);
}

std::string BusyText(const TBusyFacts& busy) {
  const std::string what = "Server busy (" + std::to_string(busy.Status) + ")";
  if (busy.WaitTooLong) {
    return what + ": asked to wait " + std::to_string(busy.Asked) + " s, more than " +
           std::to_string(busy.Bound) + " s";
  }
  return what + ": gave up after " + std::to_string(busy.Retries) + " retries";
}

std::string LoadedDateText(const TRetriveRec& entry) {
  if (entry.ErrorCode <= 0 && entry.ReceivedSize < 1) return {};
  return QueueDateText(entry.LastModified);
}

std::string LimitText(const TRetriveRec& entry) {
  if (entry.ErrorCode == kErrFileTooLarge) {
    return WSocketErrorText(kErrFileTooLarge) + " (" + FormatByteSize(entry.CapLimit) + ")";
  }
  return WSocketErrorText(kErrFileTooSlow) + " (" + std::to_string(entry.CapLimit) + " s)";
}

std::string LoadedStateText(const TRetriveRec& entry) {
  // An entry that ended has a state; only one never fetched has none.
  if (entry.ErrorCode > 0 || FetchFailed(entry)) return EntryFailureText(entry);
  return entry.ReceivedSize < 1 && entry.StatusCode < 0 ? std::string() : std::string("OK");
}

std::string StateText(const TRetriveRec& entry, const TRowFacts& row) {
  switch (row.Phase) {
    case TEntryPhase::Queued:
      return {};
    case TEntryPhase::Waiting:
      return "Waiting ...";
    case TEntryPhase::Connecting:
      return "Connecting ...";
    case TEntryPhase::Posting:
      return "Posting ...";
    case TEntryPhase::Relocating:
      return "Relocating to: " + entry.Job.editUrl;
    case TEntryPhase::Transferring:
      return "Transferring ...";
    case TEntryPhase::Ended:
      return OutcomeText(entry, row);
  }
  return {};
}

}  // namespace

const char* QueueColumnTitle(TQueueColumn column) {
  static constexpr const char* kTitles[kQueueColumns] = {"URL", "Linked Text", "Size", "Date",
                                                         "State"};
  return kTitles[static_cast<int>(column)];
}

void ApplyEntryEvent(TRowFacts& row, const TEntryEvent& event) {
  row.Reported = true;
  row.Phase = event.Phase;
  if (event.Size != TEntryEvent::TSize::Unchanged) {
    row.Size = event.Size;
    row.Progress = event.Progress;
  }
  if (event.DateChanged) {
    row.DateChanged = true;
    row.Date = event.Date;
  }
  if (event.Phase == TEntryPhase::Ended) {
    row.ErrorCode = event.ErrorCode;
    row.Outcome = event.Outcome;
    row.Reason = event.Reason;
    row.Detail = event.Detail;
    row.Busy = event.Busy;
  }
}

std::string QueueCellText(TQueueColumn column, const TRetriveRec& entry, const TRowFacts& row) {
  if (!row.Loaded && !row.Reported) return {};
  switch (column) {
    case TQueueColumn::Url:
      return entry.Job.editUrl;
    case TQueueColumn::LinkedText:
      return entry.LinkedText;
    case TQueueColumn::Size:
      switch (row.Size) {
        case TEntryEvent::TSize::Unchanged:
          return row.Loaded ? LoadedSizeText(entry) : std::string();
        case TEntryEvent::TSize::Cleared:
          return {};
        case TEntryEvent::TSize::Progress:
          return ProgressText(row.Progress);
        case TEntryEvent::TSize::Saved:
          return std::to_string(entry.ReceivedSize);
      }
      return {};
    case TQueueColumn::Date:
      if (row.DateChanged) return QueueDateText(row.Date);
      return row.Loaded ? LoadedDateText(entry) : std::string();
    case TQueueColumn::State:
      if (row.Reported) return StateText(entry, row);
      return LoadedStateText(entry);
  }
  return {};
}

std::array<std::string, kQueueColumns> QueueRowTexts(const TRetriveRec& entry,
                                                     const TRowFacts& row) {
  std::array<std::string, kQueueColumns> texts;
  for (int column = 0; column < kQueueColumns; ++column) {
    texts[static_cast<size_t>(column)] =
        QueueCellText(static_cast<TQueueColumn>(column), entry, row);
  }
  return texts;
}

std::array<std::string, kQueueColumns> LoadedRowTexts(const TRetriveRec& entry) {
  TRowFacts loaded;
  loaded.Loaded = true;
  return QueueRowTexts(entry, loaded);
}

std::string QueueDateText(double lastModified) {
  if (!(lastModified > 0) || lastModified >= kFirstDayAfter9999) return "Unknown";
  const auto ms = static_cast<int64_t>(std::llround(lastModified * kMsPerDay));
  const int64_t day = ms / 86400000;
  const int64_t secondOfDay = (ms % 86400000) / 1000;
  const std::chrono::year_month_day date{
      std::chrono::sys_days{std::chrono::days{day - kUnixEpochDay}}};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d GMT",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

std::string ProgressText(const TTransferProgress& p) {
  // A size kept from an earlier fetch may be -1 (unknown): the divisor
  // must stay positive, and the product must not overflow.
  if (p.Announced >= 1 && p.Announced >= p.Received && p.DocumentSize >= 0 &&
      p.DocumentSize < INT64_MAX) {
    const auto percent = static_cast<int64_t>(static_cast<long double>(p.SavedBefore + p.Received) *
                                              100 / static_cast<long double>(p.DocumentSize + 1));
    return "(" + std::to_string(percent) + "%)  " + std::to_string(p.DocumentSize);
  }
  return "> " + std::to_string(p.Received);
}

std::string EntryErrorText(int32_t code) {
  if (code == kRobotsRefusedError) return "Disallowed by robots.txt";
  return WSocketErrorText(code);
}

std::string OutcomeText(const TRetriveRec& entry, const TRowFacts& row) {
  const int code = row.ErrorCode;
  // A request that never started keeps the code of the fetch before it.
  if (row.Outcome == TFetchOutcome::NotStarted) return row.Reason;
  if (code == WSAECONNRESET) return WSocketErrorText(code);
  switch (row.Outcome) {
    case TFetchOutcome::NotStarted:
      return row.Reason;
    case TFetchOutcome::NotRewritten:
      return kNotRewrittenText;
    case TFetchOutcome::NotKept:
      if (code == kErrFileTooLarge || code == kErrFileTooSlow) return LimitText(entry);
      return row.Detail.empty() ? WSocketErrorText(code) : row.Detail;
    case TFetchOutcome::GaveUp:
      return "Gave up after " + std::to_string(kMaxRetries) + " retries: " +
             (code == WSAETIMEDOUT ? WSocketErrorText(code) : std::string("the body ended early"));
    case TFetchOutcome::PartDoesNotFit:
      return "Partial reply does not fit the saved copy";
    case TFetchOutcome::RobotsRefused:
      return EntryErrorText(kRobotsRefusedError);
    case TFetchOutcome::ServerBusy:
      return BusyText(row.Busy);
    case TFetchOutcome::Reply:
      break;
  }
  if (code == WSAETIMEDOUT) return WSocketErrorText(code);
  if (code == WSAECONNABORTED && row.Reason.empty()) return WSocketErrorText(code);
  if (code == kRelocationLoopError) {
    return "Too many relocations (more than " + std::to_string(kMaxRelocations) + ")";
  }
  // A compressed or chunked body has no size to compare with: the client's
  // reason says how it ended short.
  if (code == kErrShortBody && entry.ContentSize < 0 && !row.Reason.empty()) return row.Reason;
  if (code == kErrShortBody) {
    return WSocketErrorText(code) + " (" + std::to_string(entry.ReceivedSize) + " of " +
           std::to_string(entry.ContentSize) + " bytes)";
  }
  // A reply without a reason phrase still says how it ended.
  if (row.Reason.empty()) return code == 0 && !FetchFailed(entry) ? "OK" : EntryFailureText(entry);
  return row.Reason;
}

std::string EntryFailureText(const TRetriveRec& entry) {
  const int code = entry.ErrorCode;
  if (code == kErrFileTooLarge || code == kErrFileTooSlow) return LimitText(entry);
  if (code > 0) return EntryErrorText(code) + " (#" + std::to_string(code) + ")";
  if (entry.StatusCode > 0) return "HTTP status " + std::to_string(entry.StatusCode);
  return "No reply";
}

std::string RunStopText(const TRunStop& stop) {
  switch (stop.Cause) {
    case TStopCause::None:
      return {};
    case TStopCause::Files:
      return "the run reached its file limit (" + std::to_string(stop.Limit) + " files)";
    case TStopCause::Bytes:
      return "the run reached its size limit (" + FormatByteSize(stop.Limit) + ")";
    case TStopCause::Time:
      return "the run reached its time limit (" + std::to_string(stop.Limit) + " s)";
    case TStopCause::DiskFull:
    case TStopCause::FolderNotMade:
      return stop.Detail;
  }
  return {};
}

std::string WarcErrorText(const TWarcError& error) {
  const char* what = "";
  switch (error.failure) {
    case TWarcFailure::None:
      return {};
    case TWarcFailure::Create:
      what = "could not be created";
      break;
    case TWarcFailure::Write:
      what = "could not be written";
      break;
    case TWarcFailure::Spool:
      what = "could not keep a reply in a temporary file";
      break;
    case TWarcFailure::Index:
      what = "could not be indexed";
      break;
  }
  std::string text = "Web archive " + error.path + " " + what;
  if (error.code != 0) text += std::string(": ") + std::strerror(error.code);
  if (error.failure == TWarcFailure::Index) return text;
  return text + "; the rest of the run is not recorded";
}

std::string ReceivedStatusText(int32_t processed) {
  return "Recieved: " + std::to_string(processed);
}

std::string QueueStatusText(int32_t queued) {
  return "Queue: " + std::to_string(queued);
}

const char* JobStateText(TJobState state) {
  switch (state) {
    case TJobState::None:
      return "";
    case TJobState::Started:
      return "Started";
    case TJobState::Stopped:
      return "Stoped";
    case TJobState::Completed:
      return "Completed";
  }
  return "";
}

std::string NoticeText(const TEngineNotice& notice) {
  const std::string busy = ": the download is still busy; stop it and wait until it has stopped.";
  switch (notice.Kind) {
    case TNoticeKind::BusyNotOpened:
      return "Project " + notice.Subject + " not opened" + busy;
    case TNoticeKind::BusyNotCleared:
      return "Data of " + notice.Subject + " not cleared" + busy;
    case TNoticeKind::StillStopping:
      return "The download is still stopping; start it again once it has stopped.";
    case TNoticeKind::QuoteNotFound:
      return "Quote " + notice.Detail + " not found !";
    case TNoticeKind::HistoryRefused:
      return notice.Detail;
    case TNoticeKind::PageProblem:
      return notice.Subject + ": " + notice.Detail;
    case TNoticeKind::PageNotRewritten:
      return notice.Subject + ": " + kNotRewrittenText;
    case TNoticeKind::HistoryNotRenumbered:
      return "The history of project " + notice.Subject +
             " could not be rewritten for the moved jobs: " + notice.Detail;
    case TNoticeKind::PageNotAnalysed:
      return notice.Subject + ": not analysed, larger than the page limit (" +
             FormatByteSize(notice.Value) + "); saved as received";
    case TNoticeKind::RunStopped:
      return "Download stopped: " + RunStopText(notice.Stop);
    case TNoticeKind::WarcFailed:
      return WarcErrorText(notice.Warc);
  }
  return notice.Detail;
}

std::string MendedLinksText(const TLinkMending& mended) {
  if (mended.Links <= 0) return {};
  return "Links to files that failed or came under another name: " + std::to_string(mended.Links) +
         " mended in " + std::to_string(mended.Pages) + (mended.Pages == 1 ? " page" : " pages");
}

std::string MissingScriptFilesText(const TLinkMending& mended) {
  if (mended.ScriptFilesMissing <= 0) return {};
  return "Files named in scripts that were not found: " + std::to_string(mended.ScriptFilesMissing);
}

std::string UnmendedPagesText(const TLinkMending& mended) {
  if (mended.NotWritten <= 0) return {};
  return std::to_string(mended.NotWritten) + (mended.NotWritten == 1 ? " page" : " pages") +
         " could not be written back with their links mended";
}

}  // namespace kestrix
