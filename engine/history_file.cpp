#include "engine/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/job_list.h"
#include "core/whole_file.h"

namespace kestrix {

namespace {

// The file's bytes as they are made. With a descriptor it hands them on in
// pieces, so a large queue's history never sits in memory whole; the first
// write that fails is kept and every later one skipped.
class HistoryOut {
 public:
  explicit HistoryOut(int fd = -1) : fd_(fd) {}

  HistoryOut& operator+=(std::string_view text) {
    bytes_ += text;
    if (fd_ >= 0 && bytes_.size() >= kPiece) Flush();
    return *this;
  }
  // False when some write failed; the bytes still held are written first.
  bool Flush() {
    if (fd_ >= 0 && ok_) ok_ = WriteAll(fd_, bytes_);
    bytes_.clear();
    return ok_;
  }
  std::string Take() { return std::move(bytes_); }

 private:
  static constexpr size_t kPiece = 64 * 1024;

  static bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  int fd_;
  bool ok_ = true;
  std::string bytes_;
};

template <typename U>
void PutLittleEndian(HistoryOut& out, U u) {
  char bytes[sizeof u];
  for (size_t i = 0; i < sizeof u; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xff);
  out += std::string_view(bytes, sizeof u);
}

void PutInt(HistoryOut& out, int32_t value) {
  PutLittleEndian(out, static_cast<uint32_t>(value));
}

void PutByte(HistoryOut& out, uint8_t value) {
  const char byte = static_cast<char>(value);
  out += std::string_view(&byte, 1);
}

void PutString(HistoryOut& out, std::string_view text) {
  PutInt(out, static_cast<int32_t>(text.size()));
  out += text;
}

void PutDate(HistoryOut& out, double date) {
  PutLittleEndian(out, std::bit_cast<uint64_t>(date));
}

void PutInt64(HistoryOut& out, int64_t value) {
  PutLittleEndian(out, static_cast<uint64_t>(value));
}

bool Fits32(int64_t value) {
  return value >= INT32_MIN && value <= INT32_MAX;
}

// The 32-bit size fields of a size that does not fit: an unknown length, so
// that a reader that knows nothing of the size block never resumes it.
int32_t Size32(int64_t value) {
  return Fits32(value) ? static_cast<int32_t>(value) : -1;
}

// The item's own URL, not the entry's: after a relocation the entry holds
// the URL it was moved to, and keyed by that the next start or the next
// page linking to the first URL would queue it, and save it, a second time.
void PutEntry(HistoryOut& out, std::string_view url, const TRetriveRec& e) {
  PutString(out, url);
  PutByte(out, e.RequestMethod);
  PutByte(out, e.RemoteFlag);
  PutByte(out, e.LocalScopeFlag);
  PutByte(out, e.IsHtml);
  PutInt(out, e.LinkKind);
  PutString(out, e.LinkedText);
  PutString(out, e.PostData);
  PutString(out, e.StartUrl.str());
  PutString(out, e.LocalFolder);
  PutString(out, e.LocalFileName);
  PutDate(out, e.LastModified);
  PutInt(out, Size32(e.ContentSize));
  PutInt(out, Size32(e.ReceivedSize));
  PutInt(out, e.JobNumber);
  PutInt(out, e.Depth);
  PutInt(out, e.ParentIndex);
  PutInt(out, e.Job.editDepth);
  PutInt(out, e.ErrorCode);
}

// Bytes from a record's job number to its end: the job number, the depth,
// the parent, the stored depth and the error code.
constexpr size_t kRecordTail = 5 * 4;

// Reads from the front of the bytes; every read fails, taking nothing, when
// fewer bytes are left than it needs.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool Int(int32_t& value) {
    if (rest_.size() < 4) return false;
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
      u = (u << 8) | static_cast<unsigned char>(rest_[static_cast<size_t>(i)]);
    value = static_cast<int32_t>(u);
    rest_.remove_prefix(4);
    return true;
  }
  bool Byte(uint8_t& value) {
    if (rest_.empty()) return false;
    value = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return true;
  }
  bool String(std::string& text) {
    int32_t n = 0;
    if (!Int(n)) return false;
    if (n < 0 || static_cast<size_t>(n) > rest_.size()) return false;
    text.assign(rest_.substr(0, static_cast<size_t>(n)));
    rest_.remove_prefix(static_cast<size_t>(n));
    return true;
  }
  bool Int64(int64_t& value) {
    if (rest_.size() < 8) return false;
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
      u = (u << 8) | static_cast<unsigned char>(rest_[static_cast<size_t>(i)]);
    value = static_cast<int64_t>(u);
    rest_.remove_prefix(8);
    return true;
  }
  bool Magic(std::string_view magic) {
    if (!rest_.starts_with(magic)) return false;
    rest_.remove_prefix(magic.size());
    return true;
  }
  size_t Left() const { return rest_.size(); }
  bool Date(double& value) {
    if (rest_.size() < 8) return false;
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
      u = (u << 8) | static_cast<unsigned char>(rest_[static_cast<size_t>(i)]);
    value = std::bit_cast<double>(u);
    rest_.remove_prefix(8);
    return true;
  }

 private:
  std::string_view rest_;
};

// One record; the URL and the stored remaining depth come back separately
// because the entry's job settings are replaced from the store. A start URL
// equal to `lastStart` shares its text: the entries of one start were queued
// together, so they follow each other in the file.
bool ReadEntry(Reader& in, TRetriveRec& e, std::string& url, int32_t& storedDepth,
               const SharedText& lastStart = {}) {
  int32_t contentSize = 0;
  int32_t receivedSize = 0;
  std::string start;
  std::string folder;
  const bool read = in.String(url) && in.Byte(e.RequestMethod) && in.Byte(e.RemoteFlag) &&
                    in.Byte(e.LocalScopeFlag) && in.Byte(e.IsHtml) && in.Int(e.LinkKind) &&
                    in.String(e.LinkedText) && in.String(e.PostData) && in.String(start) &&
                    in.String(folder) && in.String(e.LocalFileName) && in.Date(e.LastModified) &&
                    in.Int(contentSize) && in.Int(receivedSize) && in.Int(e.JobNumber) &&
                    in.Int(e.Depth) && in.Int(e.ParentIndex) && in.Int(storedDepth) &&
                    in.Int(e.ErrorCode);
  e.LocalFolder = std::move(folder);
  if (lastStart == start) {
    e.StartUrl = lastStart;
  } else {
    e.StartUrl = start;
  }
  // The same floors as the large-size block, so a saved file loads back equal.
  e.ContentSize = std::max<int32_t>(contentSize, -1);
  e.ReceivedSize = std::max<int32_t>(receivedSize, 0);
  return read;
}

// Whether the entry's file lies inside the project folder. Every name in a
// history file is taken as hostile: a crafted file must not make a download
// write anywhere else.
// A folder that passes is stored in its clean form ("/p/x/../y" becomes "/p/y/"),
// so what is written later is exactly what was checked.
bool InsideProjectFolder(const std::string& projectFolder, TRetriveRec& e) {
  if (e.LocalFolder.empty()) return e.LocalFileName.empty();
  const std::string& name = e.LocalFileName;
  if (name.find('/') != std::string::npos || name == "." || name == ".." ||
      name.find('\0') != std::string::npos)
    return false;
  namespace fs = std::filesystem;
  const fs::path base = fs::path(projectFolder).lexically_normal();
  const fs::path folder = fs::path(e.LocalFolder.str()).lexically_normal();
  if (!folder.is_absolute() || e.LocalFolder.find('\0') != std::string::npos) return false;
  const fs::path relative = folder.lexically_relative(base);
  if (relative.empty()) return false;
  for (const fs::path& part : relative) {
    if (part == "..") return false;
  }
  std::string clean = folder.string();
  if (!clean.ends_with('/')) clean += '/';
  if (clean != e.LocalFolder.str()) e.LocalFolder = std::move(clean);
  return true;
}

// Dates before 1899-12-30 or after 9999 (or not numbers at all) cannot be sent as an
// HTTP date; they are dropped, as an unknown date.
double SaneDate(double date) {
  return std::isfinite(date) && date > 0 && date < kHistoryDateEnd ? date : 0;
}

// Longer tags (or body types) are no server's: kept, each would cost every
// later request.
constexpr size_t kMaxHeaderValue = 1024;

int32_t Clamp(int32_t value, int32_t high) {
  return value < 0 ? 0 : (value > high ? high : value);
}

// The outcome block after its magic: each record's HTTP status and the
// limit that stopped it. False when it ended early.
bool ReadOutcomes(Reader& in, int32_t read, const std::vector<int32_t>& queued, UrlList& queue) {
  int32_t count = 0;
  if (!in.Int(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t status = 0;
    int64_t cap = 0;
    if (!in.Int(status) || !in.Int64(cap)) return false;
    const int32_t index = i < read ? queued[static_cast<size_t>(i)] : -1;
    if (index < 0) continue;
    queue.Entry(index).StatusCode = static_cast<int16_t>(std::clamp(status, -1, 999));
    queue.Entry(index).CapLimit = std::max<int64_t>(cap, 0);
  }
  return true;
}

// A block of header values after its magic (entity tags, POST body
// types), one string per record, into `field` of each entry read. A value
// is sent back in a header line: one that could end it early is dropped.
// False when the block ended early.
template <typename Field>
bool ReadHeaderValues(Reader& in, int32_t read, const std::vector<int32_t>& queued, UrlList& queue,
                      Field TRetriveRec::*field) {
  int32_t count = 0;
  if (!in.Int(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    std::string value;
    if (!in.String(value)) return false;
    const int32_t index = i < read ? queued[static_cast<size_t>(i)] : -1;
    if (index >= 0 && value.size() <= kMaxHeaderValue &&
        value.find_first_of("\r\n") == std::string::npos)
      queue.Entry(index).*field = std::move(value);
  }
  return true;
}

// The POST body type block, magic and all, when some entry needs one.
void PutPostTypes(HistoryOut& out, const UrlList& queue) {
  bool typed = false;
  for (int32_t i = 0; i < queue.Count() && !typed; ++i) {
    typed = !queue.Entry(i).PostContentType.empty();
  }
  if (!typed) return;
  out += kPostTypesMagic;
  PutInt(out, queue.Count());
  for (int32_t i = 0; i < queue.Count(); ++i) PutString(out, queue.Entry(i).PostContentType.str());
}

}  // namespace

std::string HistoryFilePath(const std::string& downloadFolder, const std::string& project) {
  return downloadFolder + project + "/" + project + ".his";
}

namespace {

void WriteHistory(const TEngineState& state, HistoryOut& out) {
  const UrlList& queue = state.Queue;
  PutInt(out, queue.Count());
  PutInt(out, state.ProcessedCount);
  PutInt(out, state.NextIndex);
  bool large = false;
  bool outcomes = false;
  bool tagged = false;
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& e = queue.Entry(i);
    PutEntry(out, queue.Url(i), e);
    large = large || !Fits32(e.ContentSize) || !Fits32(e.ReceivedSize);
    outcomes = outcomes || e.CapLimit != 0 || (e.StatusCode >= 0 && FetchFailed(e));
    tagged = tagged || !e.ETag.empty();
  }
  // Sizes of 2 GiB and more follow the records, where a reader of the plain
  // format never looks; a file without such sizes is the plain format.
  if (large) {
    out += kLargeSizesMagic;
    PutInt(out, queue.Count());
    for (int32_t i = 0; i < queue.Count(); ++i) {
      PutInt64(out, queue.Entry(i).ContentSize);
      PutInt64(out, queue.Entry(i).ReceivedSize);
    }
  }
  // Likewise the outcomes a good copy does not need: without them an entry
  // is judged by its error code alone.
  if (outcomes) {
    out += kOutcomesMagic;
    PutInt(out, queue.Count());
    for (int32_t i = 0; i < queue.Count(); ++i) {
      PutInt(out, queue.Entry(i).StatusCode);
      PutInt64(out, queue.Entry(i).CapLimit);
    }
  }
  if (tagged) {
    out += kEntityTagsMagic;
    PutInt(out, queue.Count());
    for (int32_t i = 0; i < queue.Count(); ++i) PutString(out, queue.Entry(i).ETag);
  }
  PutPostTypes(out, queue);
}

}  // namespace

std::string EncodeHistory(const TEngineState& state) {
  HistoryOut out;
  WriteHistory(state, out);
  return out.Take();
}

bool SaveHistory(const std::string& downloadFolder, const std::string& project,
                 const TEngineState& state) {
  if (state.Queue.Count() == 0) return false;
  const std::string folder = downloadFolder + project;
  ::mkdir(folder.c_str(), 0777);  // one level only: DownLoadFolder itself must exist
  const std::string path = HistoryFilePath(downloadFolder, project);
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  HistoryOut out(fd);
  WriteHistory(state, out);
  const bool written = out.Flush() && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool RenumberHistoryJobs(const std::string& downloadFolder, const std::string& project,
                         const std::function<int32_t(int32_t)>& newNumber) {
  const std::string path = HistoryFilePath(downloadFolder, project);
  std::ifstream file(path, std::ios::binary);
  if (!file) return true;
  std::ostringstream read;
  read << file.rdbuf();
  file.close();
  std::string bytes = std::move(read).str();
  Reader in(bytes);
  int32_t count = 0;
  int32_t counter = 0;
  if (!in.Int(count) || !in.Int(counter) || !in.Int(counter)) return true;
  bool changed = false;
  for (int32_t i = 0; i < count; ++i) {
    TRetriveRec entry;
    std::string url;
    int32_t storedDepth = 0;
    if (!ReadEntry(in, entry, url, storedDepth)) break;
    if (entry.JobNumber <= 0) continue;
    const int32_t number = newNumber(entry.JobNumber);
    if (number == entry.JobNumber) continue;
    // Patched in place: the reader walks these same bytes.
    HistoryOut field;
    PutInt(field, number);
    const std::string patch = field.Take();
    std::memcpy(bytes.data() + (bytes.size() - in.Left() - kRecordTail), patch.data(),
                patch.size());
    changed = true;
  }
  return !changed || ReplaceFileAtomically(path, bytes, false);
}

int32_t JobNumberAfterMove(int32_t job, int32_t from, int32_t to) {
  if (job == from) return to;
  if (from < to && job > from && job <= to) return job - 1;
  if (to < from && job >= to && job < from) return job + 1;
  return job;
}

int32_t JobNumberAfterRemoval(int32_t job, int32_t removed) {
  return job == removed ? 0 : job > removed ? job - 1 : job;
}

THistoryLoad DecodeHistory(std::string_view bytes, const std::string& project,
                           const std::string& projectFolder, const TJobList& store,
                           TEngineState& state) {
  THistoryLoad result;
  result.Found = true;
  Reader in(bytes);
  int32_t count = 0;
  int32_t processed = 0;
  int32_t next = 0;
  if (!in.Int(count) || !in.Int(processed) || !in.Int(next)) return result;

  // Entries of one job share its settings instead of each holding a copy.
  std::map<int32_t, TEntryJob> jobs;
  const int32_t before = state.Queue.Count();
  std::vector<int32_t> queued;  // queue index of each record read, -1 when refused
  SharedText lastStart;
  int32_t read = 0;
  for (; read < count; ++read) {
    TRetriveRec entry;
    std::string url;
    int32_t storedDepth = 0;
    if (!ReadEntry(in, entry, url, storedDepth, lastStart)) break;
    lastStart = entry.StartUrl;
    if (!InsideProjectFolder(projectFolder, entry)) {
      result.Refused.push_back("History entry " + std::to_string(read + 1) + " (" +
                               url.substr(0, 200) + ") refused: its file " +
                               (entry.LocalFolder + entry.LocalFileName).substr(0, 300) +
                               " lies outside the project folder " + projectFolder);
      queued.push_back(-1);
      continue;
    }
    entry.LastModified = SaneDate(entry.LastModified);
    auto job = jobs.find(entry.JobNumber);
    if (job == jobs.end()) {
      TJobRecord record;
      store.GetJob(project, entry.JobNumber, record);
      job = jobs.emplace(entry.JobNumber, TEntryJob(record)).first;
    }
    entry.Job = job->second;
    entry.Job.editUrl = url;
    // The depth still allowed below the entry is the one it was queued with:
    // the job's full depth would take every later run one level deeper. A
    // job whose depth was lowered since caps it.
    const int64_t cap =
        std::max<int64_t>(entry.Job->editDepth, int64_t{entry.Job->EditRmtDepth} + 1);
    entry.Job.editDepth = static_cast<int32_t>(std::min<int64_t>(storedDepth, cap));
    queued.push_back(state.Queue.Append(url, entry));
    // A start that was relocated keeps being found under where it moved.
    if (entry.ParentIndex < 0 && !entry.StartUrl.empty() && entry.StartUrl != url) {
      state.Queue.AddAlias(queued.back(), entry.StartUrl.str());
    }
  }
  result.Entries = state.Queue.Count() - before;
  result.Complete = read == count || (count < 0 && read == 0);
  int32_t sizes = 0;
  if (result.Complete && in.Magic(kLargeSizesMagic) && in.Int(sizes)) {
    for (int32_t i = 0; i < sizes && i < read; ++i) {
      int64_t contentSize = 0;
      int64_t receivedSize = 0;
      if (!in.Int64(contentSize) || !in.Int64(receivedSize)) break;
      const int32_t index = queued[static_cast<size_t>(i)];
      if (index < 0) continue;
      state.Queue.Entry(index).ContentSize = std::max<int64_t>(contentSize, -1);
      state.Queue.Entry(index).ReceivedSize = std::max<int64_t>(receivedSize, 0);
    }
  }
  // The optional blocks after the sizes, in whichever order they came.
  for (bool more = result.Complete; more;) {
    if (in.Magic(kOutcomesMagic)) {
      more = ReadOutcomes(in, read, queued, state.Queue);
    } else if (in.Magic(kEntityTagsMagic)) {
      more = ReadHeaderValues(in, read, queued, state.Queue, &TRetriveRec::ETag);
    } else if (in.Magic(kPostTypesMagic)) {
      more = ReadHeaderValues(in, read, queued, state.Queue, &TRetriveRec::PostContentType);
    } else {
      more = false;
    }
  }
  state.ProcessedCount = Clamp(processed, state.Queue.Count());
  state.NextIndex = Clamp(next, state.Queue.Count());
  return result;
}

THistoryLoad LoadHistory(const std::string& downloadFolder, const std::string& project,
                         const TJobList* store, TEngineState& state) {
  state.ProcessedCount = 0;
  if (store == nullptr) return {};
  std::ifstream file(HistoryFilePath(downloadFolder, project), std::ios::binary);
  if (!file) return {};
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return DecodeHistory(bytes.view(), project, downloadFolder + project + "/", *store, state);
}

}  // namespace kestrix
