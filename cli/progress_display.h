// What the command line shows while a download runs. On a terminal: one
// line, rewritten at most five times a second, with entries done and
// queued, bytes, transfer rate and busy workers. Otherwise: one plain log
// line per finished entry, so the output can be kept or searched.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <unordered_map>

#include "engine/engine_observer.h"
#include "engine/queue_texts.h"

namespace kestrix {

struct TProgressFigures {
  int32_t Done = 0;
  int32_t Queued = 0;  // entries in the queue, done ones included
  int64_t Bytes = 0;
  double RatePerSecond = 0;
  int BusyWorkers = 0;
  int Workers = 0;
};

// "12 done, 28 queued, 1.3 MB, 250.4 KB/s, 3/8 workers busy".
std::string ProgressLine(const TProgressFigures& figures);
// "532 B", "12.0 KB", "1.3 MB", "2.10 GB" (units of 1000).
std::string ByteText(int64_t bytes);

class UrlList;

class ProgressDisplay : public EngineObserver {
 public:
  // `queue` is read for the entries it logs; it must outlive the display.
  ProgressDisplay(const UrlList& queue, std::ostream& out, std::ostream& err, bool terminal);
  // Redraws the terminal line when the figures changed; no-op for logs.
  void Show(const TProgressFigures& figures);
  // Ends the terminal line so that what follows starts on a fresh line, and
  // writes out the log lines held back.
  void Finish();
  // Writes out the log lines held back; log lines are written at most every
  // quarter second by themselves.
  void FlushLog();

  bool Finished() const { return finished_; }
  const std::function<void(bool)>& OnRunningChanged() const { return onRunningChanged_; }
  void SetOnRunningChanged(std::function<void(bool)> callback) {
    onRunningChanged_ = std::move(callback);
  }

  void EntryChanged(int32_t index, const TEntryEvent& event) override;
  void QueueRowsShown(int32_t entries) override;
  void QueueCleared() override { rows_.clear(); }
  void RunningChanged(bool running) override;
  void QueueFinished(const std::string& project) override;
  void NoticeReported(const TEngineNotice& notice) override;
  void LinksMended(const TLinkMending& mending) override;
  // What the ends of the runs so far did to the saved pages' links.
  const TLinkMending& Mended() const { return mended_; }

 private:
  void ClearLine();

  const UrlList& queue_;
  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
  bool finished_ = false;
  static constexpr std::chrono::milliseconds kLogFlushInterval{250};
  std::chrono::steady_clock::time_point lastFlush_{};
  std::string shownLine_;
  // What the entries on their way showed so far; an entry is logged and
  // forgotten when its fetch has ended.
  std::unordered_map<int32_t, TRowFacts> rows_;
  std::function<void(bool)> onRunningChanged_;
  TLinkMending mended_;
};

}  // namespace kestrix
