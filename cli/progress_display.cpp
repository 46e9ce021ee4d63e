#include "cli/progress_display.h"

#include <cstdio>

namespace kestrix {

namespace {

// The texts a worker shows while an entry is still on its way; any other
// state text is the outcome.
bool IsTransientState(const std::string& text) {
  return text.empty() || text == "Connecting ..." || text == "Posting ..." ||
         text == "Transferring ..." || text.rfind("Relocating to: ", 0) == 0;
}

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

ProgressDisplay::ProgressDisplay(std::ostream& out, std::ostream& err, bool terminal)
    : out_(out), err_(err), terminal_(terminal) {}

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

void ProgressDisplay::QueueCellChanged(int row, int column, const std::string& text) {
  if (row < 1 || row > 10'000'000) return;
  const size_t index = static_cast<size_t>(row - 1);
  if (rows_.size() <= index) rows_.resize(index + 1);
  Row& cells = rows_[index];
  if (column == 0) cells.url = text;
  if (column == 2) cells.size = text;
  if (column != 4 || !logging_ || terminal_ || IsTransientState(text)) return;
  out_ << text << "\t" << cells.url << "\t" << cells.size << "\n";
  // A write per line would cost a site of thousands of small files a
  // noticeable share of its time; a reader of the log waits at most a
  // moment for a line (the caller flushes every second as well).
  if (std::chrono::steady_clock::now() - lastFlush_ >= kLogFlushInterval) FlushLog();
}

void ProgressDisplay::RunningChanged(bool running) {
  if (onRunningChanged_) onRunningChanged_(running);
}

void ProgressDisplay::QueueFinished(const std::string&) {
  finished_ = true;
  if (onRunningChanged_) onRunningChanged_(false);
}

void ProgressDisplay::ErrorReported(const std::string& text) {
  ClearLine();
  FlushLog();  // the log lines so far come before the error
  err_ << "kestrix-cli: " << text << "\n" << std::flush;
}

}  // namespace kestrix
