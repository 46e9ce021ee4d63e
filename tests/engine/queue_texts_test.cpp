// The queue grid's texts: rows as the history file gave them, rows as the
// engine reported on them since, and the size column's progress.
#include "engine/queue_texts.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/fetch_limits.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

TEST(QueueTexts, LoadedRows) {
  TRetriveRec e;
  e.Job.editUrl = "http://h/";
  e.LinkedText = "Home";
  e.ContentSize = 1000;
  e.ReceivedSize = 400;
  e.LastModified = 36526.75;  // 2000-01-01 18:00
  auto row = LoadedRowTexts(e);
  EXPECT_EQ(row, (std::array<std::string, kQueueColumns>{"http://h/", "Home", "(40%)  1000",
                                                         "2000-01-01 18:00:00 GMT", "OK"}));

  e.ContentSize = 2000000000;
  e.ReceivedSize = 1999999999;
  EXPECT_EQ(LoadedRowTexts(e)[2], "(99%)  2000000000");

  e.ErrorCode = WSAECONNREFUSED;
  EXPECT_EQ(LoadedRowTexts(e)[4], "Connection refused (#10061)");

  TRetriveRec unfetched;
  unfetched.ContentSize = -1;
  row = LoadedRowTexts(unfetched);
  EXPECT_EQ(row[2] + row[3] + row[4], "");
}

// A row keeps what the engine did not change: a new fetch clears the size
// but shows the date until the reply brings one.
TEST(QueueTexts, ReportedRowsKeepWhatAnEventLeavesUnchanged) {
  TRetriveRec e;
  e.Job.editUrl = "http://h/p.html";
  e.LinkedText = "P";
  e.ReceivedSize = 11;
  e.LastModified = 36526.75;
  TRowFacts row;
  EXPECT_EQ(QueueCellText(TQueueColumn::Url, e, row), "") << "a row not shown yet is blank";
  row.Loaded = true;

  TEntryEvent event;
  event.Phase = TEntryPhase::Connecting;
  event.Size = TEntryEvent::TSize::Cleared;
  ApplyEntryEvent(row, event);
  EXPECT_EQ(QueueRowTexts(e, row),
            (std::array<std::string, kQueueColumns>{"http://h/p.html", "P", "",
                                                    "2000-01-01 18:00:00 GMT", "Connecting ..."}));
  event = {};
  event.Phase = TEntryPhase::Transferring;
  event.Size = TEntryEvent::TSize::Progress;
  event.Progress = {0, 10, 5, 10};
  event.DateChanged = true;  // the reply gave no date
  ApplyEntryEvent(row, event);
  EXPECT_EQ(QueueCellText(TQueueColumn::Size, e, row), "(45%)  10");
  EXPECT_EQ(QueueCellText(TQueueColumn::Date, e, row), "Unknown");
  EXPECT_EQ(QueueCellText(TQueueColumn::State, e, row), "Transferring ...");

  // An abort leaves the progress shown; an ended fetch shows what was saved.
  event = {};
  event.Phase = TEntryPhase::Ended;
  event.ErrorCode = WSAECONNABORTED;
  event.Reason = "Connection aborted on request";
  ApplyEntryEvent(row, event);
  EXPECT_EQ(QueueCellText(TQueueColumn::Size, e, row), "(45%)  10");
  EXPECT_EQ(QueueCellText(TQueueColumn::State, e, row), "Connection aborted on request");
  event.Size = TEntryEvent::TSize::Saved;
  ApplyEntryEvent(row, event);
  EXPECT_EQ(QueueCellText(TQueueColumn::Size, e, row), "11");
}

// The state of an ended fetch: what only the front end words.
TEST(QueueTexts, OutcomeTexts) {
  struct Case {
    TFetchOutcome outcome;
    int code;
    const char* reason;
    const char* detail;
    const char* text;
  };
  const Case cases[] = {
      {TFetchOutcome::Reply, 0, "Not Modified", "", "Not Modified"},
      {TFetchOutcome::Reply, WSAETIMEDOUT, "Connection aborted on request", "",
       "Connection timed out"},
      {TFetchOutcome::Reply, kRelocationLoopError, "", "", "Too many relocations (more than 20)"},
      {TFetchOutcome::Reply, kErrShortBody, "OK", "",
       "Connection closed before the body ended (4 of 10 bytes)"},
      {TFetchOutcome::Reply, WSAECONNRESET, "OK", "", "Connection reset by peer"},
      {TFetchOutcome::NotStarted, WSAECONNRESET, "Nothing to post", "", "Nothing to post"},
      {TFetchOutcome::GaveUp, WSAETIMEDOUT, "", "",
       "Gave up after 5 retries: Connection timed out"},
      {TFetchOutcome::GaveUp, kErrShortBody, "", "",
       "Gave up after 5 retries: the body ended early"},
      {TFetchOutcome::PartDoesNotFit, kErrUndecodableBody, "Partial Content", "",
       "Partial reply does not fit the saved copy"},
      {TFetchOutcome::RobotsRefused, kRobotsRefusedError, "", "", "Disallowed by robots.txt"},
      {TFetchOutcome::Reply, WSAECONNABORTED, "", "", "Connection aborted"},
      {TFetchOutcome::NotRewritten, 0, "", "",
       "Links not rewritten: the page could not be saved again"},
      {TFetchOutcome::NotKept, kErrDiskFull, "OK", "Cannot write file \"/d/f\": No space left",
       "Cannot write file \"/d/f\": No space left"},
      {TFetchOutcome::Reply, 0, "", "", "OK"},  // a reply without a reason phrase
  };
  TRetriveRec entry;
  entry.ContentSize = 10;
  entry.ReceivedSize = 4;
  for (const Case& c : cases) {
    TRowFacts row;
    TEntryEvent ended;
    ended.Phase = TEntryPhase::Ended;
    ended.ErrorCode = c.code;
    ended.Outcome = c.outcome;
    ended.Reason = c.reason;
    ended.Detail = c.detail;
    ApplyEntryEvent(row, ended);
    EXPECT_EQ(QueueCellText(TQueueColumn::State, entry, row), c.text) << c.text;
  }
  TRowFacts busy;
  TEntryEvent gaveUp;
  gaveUp.Phase = TEntryPhase::Ended;
  gaveUp.Outcome = TFetchOutcome::ServerBusy;
  gaveUp.Busy = {429, 3, 5, 120, false};
  ApplyEntryEvent(busy, gaveUp);
  EXPECT_EQ(QueueCellText(TQueueColumn::State, entry, busy),
            "Server busy (429): gave up after 3 retries");
}

// What an entry's own fields say of a failure: rows loaded from a history,
// a limit's state, and the command line's word on a failed start.
TEST(QueueTexts, FailureTextsFromTheEntry) {
  struct Case {
    int code;
    int status;
    int64_t limit;
    const char* text;
  };
  const Case cases[] = {
      {kErrFileTooLarge, 0, 20 << 20, "larger than the size limit (20 MB)"},
      {kErrFileTooSlow, 0, 90, "took longer than the time limit (90 s)"},
      {kErrCertNotTrusted, 0, 0, "certificate not trusted (#12010)"},
      {0, 404, 0, "HTTP status 404"},
      {0, 302, 0, "HTTP status 302"},  // a relocation that was not followed
      {0, 0, 0, "No reply"},
      {0, 304, 0, "OK"},  // not modified: nothing failed
      {0, -1, 0, ""},     // never fetched, as far as the history knows
  };
  for (const Case& c : cases) {
    TRetriveRec e;
    e.ErrorCode = c.code;
    e.StatusCode = c.status;
    e.CapLimit = c.limit;
    EXPECT_EQ(LoadedRowTexts(e)[4], c.text) << c.text;
    TRowFacts row;
    TEntryEvent ended;
    ended.Phase = TEntryPhase::Ended;
    ended.ErrorCode = c.code;
    ended.Outcome = c.limit > 0 ? TFetchOutcome::NotKept : TFetchOutcome::Reply;
    ApplyEntryEvent(row, ended);
    if (c.limit > 0) {
      EXPECT_EQ(QueueCellText(TQueueColumn::State, e, row), c.text);
    }
  }
  const TRunStop stops[] = {{TStopCause::Files, 500, ""},
                            {TStopCause::Bytes, 1 << 30, ""},
                            {TStopCause::Time, 60, ""},
                            {TStopCause::DiskFull, 0, "Cannot write file \"f\": No space"}};
  const char* texts[] = {
      "the run reached its file limit (500 files)", "the run reached its size limit (1 GB)",
      "the run reached its time limit (60 s)", "Cannot write file \"f\": No space"};
  for (size_t i = 0; i < std::size(stops); ++i) EXPECT_EQ(RunStopText(stops[i]), texts[i]);
}

TEST(QueueTexts, DateTexts) {
  EXPECT_EQ(QueueDateText(0), "Unknown");
  EXPECT_EQ(QueueDateText(-3), "Unknown");
  EXPECT_EQ(QueueDateText(1e300), "Unknown");
  EXPECT_EQ(QueueDateText(2.0), "1900-01-01 00:00:00 GMT");
  EXPECT_EQ(QueueDateText(34636.82184027778), "1994-10-29 19:43:27 GMT");
}

TEST(QueueTexts, ProgressShowsTheShareOfTheWholeDocumentOrTheBytesSoFar) {
  struct Case {
    TTransferProgress progress;
    const char* text;
  };
  const Case cases[] = {
      {{0, 1000, 0, 1000}, "(0%)  1000"},
      {{0, 1000, 500, 1000}, "(49%)  1000"},  // divided by the size + 1
      {{0, 1000, 1000, 1000}, "(99%)  1000"},
      {{400, 1000, 300, 600}, "(69%)  1000"},  // a resumed file counts what it had
      {{0, -1, 123, -1}, "> 123"},             // no Content-Length
      {{0, 0, 5, 0}, "> 5"},
      {{0, 10, 11, 10}, "> 11"},  // more than announced
      {{0, 3'000'000'000, 2'000'000'000, 3'000'000'000}, "(66%)  3000000000"},
      // Sizes that used to divide by zero: -1 kept from an earlier fetch, and
      // 4294967295, which 32 bits took for -1.
      {{0, -1, 10, 100}, "> 10"},
      {{0, 4'294'967'295, 10, 4'294'967'295}, "(0%)  4294967295"},
      {{0, INT64_MAX, 5, INT64_MAX}, "> 5"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressText(c.progress), c.text);
}

}  // namespace
}  // namespace kestrix
