// The queue grid's texts: rows as the history file gave them, rows as the
// engine reported on them since, and the size column's progress.
#include "engine/queue_texts.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/fetch_limits.h"
#include "http/socket_errors.h"
#include "tests/support/case_file.h"

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
  const std::map<std::string, TFetchOutcome> outcomes = {
      {"Reply", TFetchOutcome::Reply},
      {"NotStarted", TFetchOutcome::NotStarted},
      {"GaveUp", TFetchOutcome::GaveUp},
      {"PartDoesNotFit", TFetchOutcome::PartDoesNotFit},
      {"NotRewritten", TFetchOutcome::NotRewritten},
      {"NotKept", TFetchOutcome::NotKept},
      {"RobotsRefused", TFetchOutcome::RobotsRefused}};
  TRetriveRec entry;
  entry.ContentSize = 10;
  entry.ReceivedSize = 4;
  const auto rows = test::ReadRows("engine/queue_texts.txt", "outcome");
  ASSERT_GE(rows.size(), 14u);
  for (const auto& row : rows) {
    TRowFacts facts;
    TEntryEvent ended;
    ended.Phase = TEntryPhase::Ended;
    ended.Outcome = outcomes.at(row[0]);
    ended.ErrorCode = std::stoi(row[1]);
    ended.Reason = row[2];
    ended.Detail = row[3];
    ApplyEntryEvent(facts, ended);
    EXPECT_EQ(QueueCellText(TQueueColumn::State, entry, facts), row[4]);
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
  const auto rows = test::ReadRows("engine/queue_texts.txt", "loaded");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& row : rows) {
    TRetriveRec e;
    e.ErrorCode = std::stoi(row[0]);
    e.StatusCode = std::stoi(row[1]);
    e.CapLimit = std::stoll(row[2]);
    EXPECT_EQ(LoadedRowTexts(e)[4], row[3]);
    if (e.CapLimit == 0) continue;
    TRowFacts facts;
    TEntryEvent ended;
    ended.Phase = TEntryPhase::Ended;
    ended.ErrorCode = e.ErrorCode;
    ended.Outcome = TFetchOutcome::NotKept;
    ApplyEntryEvent(facts, ended);
    EXPECT_EQ(QueueCellText(TQueueColumn::State, e, facts), row[3]);
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

TEST(QueueTexts, ProgressAndDates) {
  const auto rows = test::ReadRows("engine/queue_texts.txt", "progress");
  ASSERT_GE(rows.size(), 11u);
  for (const auto& row : rows) {
    const TTransferProgress progress{std::stoll(row[0]), std::stoll(row[1]), std::stoll(row[2]),
                                     std::stoll(row[3])};
    EXPECT_EQ(ProgressText(progress), row[4]);
  }
  const auto dates = test::ReadRows("engine/queue_texts.txt", "date");
  ASSERT_GE(dates.size(), 5u);
  for (const auto& row : dates) EXPECT_EQ(QueueDateText(std::stod(row[0])), row[1]) << row[0];
}

}  // namespace
}  // namespace kestrix
