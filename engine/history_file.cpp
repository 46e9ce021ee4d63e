#include "engine/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "core/job_list.h"

namespace kestrix {

namespace {

void PutInt(std::string& out, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((u >> shift) & 0xff));
}

void PutByte(std::string& out, uint8_t value) {
  out.push_back(static_cast<char>(value));
}

void PutString(std::string& out, const std::string& text) {
  PutInt(out, static_cast<int32_t>(text.size()));
  out += text;
}

void PutDate(std::string& out, double date) {
  const auto u = std::bit_cast<uint64_t>(date);
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<char>((u >> shift) & 0xff));
}

void PutEntry(std::string& out, const TRetriveRec& e) {
  PutString(out, e.Job.editUrl);
  PutByte(out, e.RequestMethod);
  PutByte(out, e.RemoteFlag);
  PutByte(out, e.LocalScopeFlag);
  PutByte(out, e.IsHtml);
  PutInt(out, e.LinkKind);
  PutString(out, e.LinkedText);
  PutString(out, e.PostData);
  PutString(out, e.StartUrl);
  PutString(out, e.LocalFolder);
  PutString(out, e.LocalFileName);
  PutDate(out, e.LastModified);
  PutInt(out, e.ContentSize);
  PutInt(out, e.ReceivedSize);
  PutInt(out, e.JobNumber);
  PutInt(out, e.Depth);
  PutInt(out, e.ParentIndex);
  PutInt(out, e.Job.editDepth);
  PutInt(out, e.ErrorCode);
}

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
// because the entry's job settings are replaced from the store.
bool ReadEntry(Reader& in, TRetriveRec& e, std::string& url) {
  int32_t storedDepth = 0;
  return in.String(url) && in.Byte(e.RequestMethod) && in.Byte(e.RemoteFlag) &&
         in.Byte(e.LocalScopeFlag) && in.Byte(e.IsHtml) && in.Int(e.LinkKind) &&
         in.String(e.LinkedText) && in.String(e.PostData) && in.String(e.StartUrl) &&
         in.String(e.LocalFolder) && in.String(e.LocalFileName) && in.Date(e.LastModified) &&
         in.Int(e.ContentSize) && in.Int(e.ReceivedSize) && in.Int(e.JobNumber) &&
         in.Int(e.Depth) && in.Int(e.ParentIndex) && in.Int(storedDepth) && in.Int(e.ErrorCode);
}

int32_t Clamp(int32_t value, int32_t high) {
  return value < 0 ? 0 : (value > high ? high : value);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string HistoryFilePath(const std::string& downloadFolder, const std::string& project) {
  return downloadFolder + project + "/" + project + ".his";
}

std::string EncodeHistory(const TEngineState& state) {
  std::string out;
  PutInt(out, state.Queue.Count());
  PutInt(out, state.ProcessedCount);
  PutInt(out, state.NextIndex);
  for (int32_t i = 0; i < state.Queue.Count(); ++i) PutEntry(out, state.Queue.Entry(i));
  return out;
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
  const bool written = WriteAll(fd, EncodeHistory(state)) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

THistoryLoad DecodeHistory(std::string_view bytes, const std::string& project,
                           const TJobList& store, TEngineState& state) {
  THistoryLoad result;
  result.Found = true;
  Reader in(bytes);
  int32_t count = 0;
  int32_t processed = 0;
  int32_t next = 0;
  if (!in.Int(count) || !in.Int(processed) || !in.Int(next)) return result;

  // Entries of one job share its settings instead of each holding a copy.
  std::map<int32_t, TEntryJob> jobs;
  int32_t read = 0;
  for (; read < count; ++read) {
    TRetriveRec entry;
    std::string url;
    if (!ReadEntry(in, entry, url)) break;
    auto job = jobs.find(entry.JobNumber);
    if (job == jobs.end()) {
      TJobRecord record;
      store.GetJob(project, entry.JobNumber, record);
      job = jobs.emplace(entry.JobNumber, TEntryJob(record)).first;
    }
    entry.Job = job->second;
    entry.Job.editUrl = url;
    state.Queue.Append(url, entry);
  }
  result.Entries = read;
  result.Complete = read == count || (count < 0 && read == 0);
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
  return DecodeHistory(bytes.view(), project, *store, state);
}

}  // namespace kestrix
