// Records every HTTP exchange of a run into web archive files (WARC 1.1):
// a warcinfo record at the start of each file, then per exchange a request
// record and a response record (a revisit record for a 304 reply), with the
// bytes exactly as they went over the wire. Fed by the HTTP client's tap;
// exchanges of several workers may interleave. Single-threaded: every call
// comes from the thread that runs the downloads.
//
// Files are named BASE.warc.gz, then BASE-00001.warc.gz and on when a file
// passes the size limit (or a name is taken: an existing file is never
// written to). Each gets a sorted index BASE.cdxj when it is closed.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/exchange_end.h"
#include "warc/capture_lookup.h"
#include "warc/exchange_spool.h"
#include "warc/warc_error.h"
#include "warc/warc_file.h"

namespace kestrix {

struct TWarcSettings {
  std::string folder;    // where the archives go: the project folder by default
  std::string baseName;  // file name without ".warc.gz"; see DefaultWarcBaseName
  std::uint64_t maxFileSize = std::uint64_t{1} << 30;
  // zlib's 1 (fast) to 9 (small). Replies whose body is compressed already
  // (a content coding, images, audio, video, zip files) are stored as they
  // are: deflate would cost several times the rest of the work for them
  // and gain nothing.
  int compressionLevel = 6;
  std::string software;  // program name and version, for warcinfo
  // Further warcinfo fields: the job's settings, for one.
  std::vector<std::pair<std::string, std::string>> info;
};

// "PROJECT-YYYYMMDDhhmmss", the time in UTC like every archive date.
std::string DefaultWarcBaseName(std::string_view project,
                                std::chrono::system_clock::time_point when);

class TWarcRecorder {
 public:
  using TExchangeId = std::uint64_t;  // 0: not recorded

  explicit TWarcRecorder(TWarcSettings settings);
  ~TWarcRecorder();
  TWarcRecorder(const TWarcRecorder&) = delete;
  TWarcRecorder& operator=(const TWarcRecorder&) = delete;

  // Finishes archives a stopped run left in the folder, then creates the
  // first file. False with Error() set when it cannot be created.
  bool Open();

  // `earlier` is what the revisit record of a 304 reply refers to; when it
  // is not given, the latest 200 capture of the URL in the folder's
  // indexed archives is looked up.
  TExchangeId BeginExchange(std::string_view url, std::chrono::system_clock::time_point when,
                            std::optional<TEarlierCapture> earlier = std::nullopt);
  void RequestBytes(TExchangeId id, std::string_view bytes);
  void ReplyBytes(TExchangeId id, std::string_view bytes);
  void PeerAddress(TExchangeId id, std::string_view ip);
  // Writes the exchange's records. An exchange with neither request nor
  // reply bytes leaves nothing.
  void EndExchange(TExchangeId id, TExchangeEnd end);

  // Ends the exchanges still open as cut, closes the file and sorts its
  // index. Also done on destruction.
  bool Close();

  // The first failure; once set, nothing more is recorded (the files
  // written keep every whole record).
  const TWarcError& Error() const { return error_; }
  // Every archive this recorder created, in order.
  const std::vector<std::string>& Files() const { return files_; }
  // Archives of an earlier run that Open finished.
  const std::vector<std::string>& Repaired() const { return repaired_; }

 private:
  struct TExchange;
  bool NextFile();
  bool WriteInfo();
  void WriteExchange(TExchange& exchange, TExchangeEnd end);
  bool Append(const std::string& head, std::string_view block, int spoolFd, std::uint64_t spoolSize,
              TWarcRecordInfo& record, bool store = false);

  TWarcSettings settings_;
  std::unique_ptr<TWarcFile> file_;
  std::string infoId_;
  int serial_ = 0;
  std::map<TExchangeId, std::unique_ptr<TExchange>> open_;
  TExchangeId lastId_ = 0;
  TWarcError error_;
  std::vector<std::string> files_;
  std::vector<std::string> repaired_;
  std::optional<TCaptureLookup> captures_;  // loaded at the first 304
};

}  // namespace kestrix
