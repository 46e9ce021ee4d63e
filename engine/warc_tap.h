// A run's web archive: one recorder shared by every HTTP client of the run
// (the workers and the robots.txt requests), each client feeding it through
// a tap of its own, since the exchanges of several clients interleave and a
// tap holds the one its client has under way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/exchange_tap.h"
#include "warc/warc_error.h"
#include "warc/warc_recorder.h"

namespace kestrix {

// What a front end asks of a run besides the jobs' own switch.
struct TWarcRunRequest {
  bool Record = false;  // record the run even when no job of the project does
  // The first archive's path ("DIR/NAME.warc.gz"); empty: the project
  // folder and PROJECT-YYYYMMDDhhmmss.warc.gz.
  std::string Path;
  std::uint64_t MaxFileSize = std::uint64_t{1} << 30;
};

// The folder and base name of the archive `path` names: ".warc.gz", ".warc"
// or ".gz" come off, as the recorder adds ".warc.gz" itself.
void SplitWarcPath(const std::string& path, std::string& folder, std::string& baseName);

class TWarcRun : public std::enable_shared_from_this<TWarcRun> {
 public:
  // `failed` hears of the first failure to create or write an archive,
  // once; recording stops then and the files keep their whole records.
  using TFailed = std::function<void(const TWarcError&)>;
  TWarcRun(TWarcSettings settings, TFailed failed);

  // False (and the failure reported) when no archive could be created.
  bool Open();
  // Ends the exchanges still open as cut, finishes the archive and its
  // index. The taps stay usable and record nothing more.
  void Close();
  // A tap for one client; it keeps the run alive while the client has it.
  std::unique_ptr<TExchangeTap> MakeTap();
  // Every archive the run created, in order.
  const std::vector<std::string>& Files() const { return recorder_.Files(); }

  TWarcRecorder* Recorder() { return open_ ? &recorder_ : nullptr; }
  void CheckFailure();

 private:
  TWarcRecorder recorder_;
  TFailed failed_;
  bool open_ = false;
  bool reported_ = false;
};

}  // namespace kestrix
