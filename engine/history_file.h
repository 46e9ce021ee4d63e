// A project's queue between runs: every entry with its origin, local file,
// size, date and outcome, and the dispatch position and processed counter.
// Little-endian, no signature: integers are signed 32-bit, strings a 32-bit
// byte count followed by the bytes, dates 64-bit floating point days since
// 1899-12-30.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/url_list.h"

namespace kestrix {

class TJobList;

// Marks the block of 64-bit sizes that follows the records when some size
// does not fit the records' 32-bit fields.
inline constexpr std::string_view kLargeSizesMagic = "KXSIZE64";
// Marks the block of outcomes (each entry's HTTP status and the limit that
// stopped it) that follows, when some entry failed by its status or was
// stopped by a limit.
inline constexpr std::string_view kOutcomesMagic = "KXSTATUS";
// Marks the block of entity tags (one string per record), when some entry
// has a tag. It is written last, after the size and outcome blocks: readers
// that know nothing of it stop before it. Either order is read.
inline constexpr std::string_view kEntityTagsMagic = "KXETAG01";
// Marks the block of POST body types (one string per record), when some
// entry posts other than a urlencoded form. Written after every other
// block, so that readers that know nothing of it stop before it.
inline constexpr std::string_view kPostTypesMagic = "KXPTYPE1";
// Dates a history file may hold end before 10000-01-01; none lies before
// 1899-12-30, which is 0, no date.
inline constexpr double kHistoryDateEnd = 2958466.0;

// DownLoadFolder + project + "/" + project + ".his".
std::string HistoryFilePath(const std::string& downloadFolder, const std::string& project);

// The file's bytes for `state` (header and every entry in queue order).
std::string EncodeHistory(const TEngineState& state);

// Writes the history of `project`. An empty queue leaves an existing file
// alone. The bytes go to a temporary file that is renamed over the old one,
// so a crash or a full disk never loses the previous history. False when
// nothing was written; callers go on either way.
bool SaveHistory(const std::string& downloadFolder, const std::string& project,
                 const TEngineState& state);

// Jobs of `project` were moved or deleted: every record of its history file
// that names a job (a number above 0) takes `newNumber` of it, and every
// other byte stays as it was. Replaced in one atomic step; a missing file
// stays missing. False when a file that needed it could not be rewritten.
bool RenumberHistoryJobs(const std::string& downloadFolder, const std::string& project,
                         const std::function<int32_t(int32_t)>& newNumber);
// The number of job `job` once job `from` has moved to `to` (all 1-based),
// the jobs between shifting by one.
int32_t JobNumberAfterMove(int32_t job, int32_t from, int32_t to);
// The number of job `job` once job `removed` is deleted; 0 for that job.
int32_t JobNumberAfterRemoval(int32_t job, int32_t removed);

struct THistoryLoad {
  bool Found = false;     // a file was read
  int32_t Entries = 0;    // entries appended to the queue
  bool Complete = false;  // every record the header announced was read
  // One message per entry left out because its file lies outside the
  // project folder.
  std::vector<std::string> Refused;
};

// Appends the entries held in `bytes` to `state`'s queue and sets the
// counters. Each entry's job settings come from `store` (defaults for a job
// that no longer exists), never from the file. Nothing in the bytes is
// trusted: a count or length that is negative or longer than what is left
// ends loading at that record, keeping the entries before it, and the
// counters are kept within the queue. An entry whose file would lie outside
// `projectFolder` is refused; dates that no HTTP date can hold are dropped.
THistoryLoad DecodeHistory(std::string_view bytes, const std::string& project,
                           const std::string& projectFolder, const TJobList& store,
                           TEngineState& state);

// Loads the history of `project` into `state`, whose queue the caller has
// emptied. ProcessedCount becomes 0 first; a missing file or store loads
// nothing.
THistoryLoad LoadHistory(const std::string& downloadFolder, const std::string& project,
                         const TJobList* store, TEngineState& state);

}  // namespace kestrix
