#include "cli/progress_display.h"

#include <cstdio>

#include "core/url_list.h"

namespace kestrix {

namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

}  // namespace

std::string ByteText(int64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + " B";
  const double value = static_cast<double>(bytes);
  if (bytes < 1000 * 1000) return Fixed(value / 1e3, 1) + " KB";
  if (bytes < 1000 * 1000 * 1000) return Fixed(value / 1e6, 1) + " MB";
  return Fixed(value / 1e9, 2) + " GB";
}

std::string ProgressLine(const TProgressFigures& f) {
  return std::to_string(f.Done) + " done, " + std::to_string(f.Queued - f.Done) + " queued, " +
         ByteText(f.Bytes) + ", " + Fixed(f.RatePerSecond / 1000, 1) + " KB/s, " +
         std::to_string(f.BusyWorkers) + "/" + std::to_string(f.Workers) + " workers busy";
}

ProgressDisplay::ProgressDisplay(const UrlList& queue, std::ostream& out, std::ostream& err,
                                 bool terminal)
    : queue_(queue), out_(out), err_(err), terminal_(terminal) {}

void ProgressDisplay::Show(const TProgressFigures& figures) {
  if (!terminal_) return;
  std::string line = ProgressLine(figures);
  if (line == shownLine_) return;
  shownLine_ = line;
  out_ << "\r" << line << "\x1b[K" << std::flush;
}

void ProgressDisplay::ClearLine() {
  if (terminal_ && !shownLine_.empty()) out_ << "\r\x1b[K" << std::flush;
  shownLine_.clear();
}

void ProgressDisplay::Finish() {
  if (terminal_ && !shownLine_.empty()) out_ << "\n";
  out_ << std::flush;
  shownLine_.clear();
}

void ProgressDisplay::FlushLog() {
  out_ << std::flush;
  lastFlush_ = std::chrono::steady_clock::now();
}

void ProgressDisplay::EntryChanged(int32_t index, const TEntryEvent& event) {
  if (terminal_ || index < 0 || index >= queue_.Count()) return;
  TRowFacts& row = rows_[index];
  ApplyEntryEvent(row, event);
  if (event.Phase != TEntryPhase::Ended) return;
  const TRetriveRec& entry = queue_.Entry(index);
  out_ << QueueCellText(TQueueColumn::State, entry, row) << "\t" << entry.Job.editUrl << "\t"
       << QueueCellText(TQueueColumn::Size, entry, row) << "\n";
  rows_.erase(index);
  // A write per line would cost a site of thousands of small files a
  // noticeable share of its time; a reader of the log waits at most a
  // moment for a line (the caller flushes every second as well).
  if (std::chrono::steady_clock::now() - lastFlush_ >= kLogFlushInterval) FlushLog();
}

void ProgressDisplay::QueueRowsShown(int32_t entries) {
  // Rows the grid no longer shows forget what they showed.
  for (auto it = rows_.begin(); it != rows_.end();) {
    it = it->first >= entries ? rows_.erase(it) : std::next(it);
  }
}

void ProgressDisplay::RunningChanged(bool running) {
  if (onRunningChanged_) onRunningChanged_(running);
}

void ProgressDisplay::QueueFinished(const std::string&) {
  finished_ = true;
  if (onRunningChanged_) onRunningChanged_(false);
}

void ProgressDisplay::NoticeReported(const TEngineNotice& notice) {
  ClearLine();
  FlushLog();  // the log lines so far come before the error
  err_ << "kestrix-cli: " << NoticeText(notice) << "\n" << std::flush;
}

void ProgressDisplay::LinksMended(const TLinkMending& mending) {
  mended_.Pages += mending.Pages;
  mended_.Links += mending.Links;
  mended_.NotWritten += mending.NotWritten;
  mended_.ScriptFilesMissing += mending.ScriptFilesMissing;
}

}  // namespace kestrix
