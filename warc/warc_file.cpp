#include "warc/warc_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "warc/cdxj.h"
#include "warc/warc_index.h"

namespace kestrix {

namespace {

constexpr std::size_t kCopySize = 256 * 1024;
constexpr char kRecordEnd[] = "\r\n\r\n";

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SortIndex(const std::string& warcPath, std::size_t budget, TWarcError& error) {
  const std::string part = IndexPartPathFor(warcPath);
  const std::string index = IndexPathFor(warcPath);
  const std::string sorting = index + ".sorting";
  std::string why;
  if (!SortLines(part, sorting, budget, why) || std::rename(sorting.c_str(), index.c_str()) != 0) {
    error = {TWarcFailure::Index, errno, index};
    std::remove(sorting.c_str());
    return false;
  }
  std::remove(part.c_str());
  return true;
}

}  // namespace

TWarcFile::TWarcFile(std::string path, int fd, int indexFd, int level)
    : path_(std::move(path)), fd_(fd), indexFd_(indexFd), gzip_(fd, level) {}

std::unique_ptr<TWarcFile> TWarcFile::Create(const std::string& path, int level,
                                             TWarcError& error) {
  // The part file comes first: an archive without one would not be known
  // as unfinished if the run stopped right here.
  const std::string part = IndexPartPathFor(path);
  const int indexFd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (indexFd < 0) {
    error = {TWarcFailure::Create, errno, part};
    return nullptr;
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = {TWarcFailure::Create, errno, path};
    close(indexFd);
    std::remove(part.c_str());
    return nullptr;
  }
  flock(fd, LOCK_EX | LOCK_NB);
  return std::unique_ptr<TWarcFile>(new TWarcFile(path, fd, indexFd, level));
}

TWarcFile::~TWarcFile() {
  if (fd_ < 0) return;
  TWarcError ignored;
  Close(ignored);
}

bool TWarcFile::Copy(int spoolFd, std::uint64_t size, bool& readFailed) {
  std::vector<char> buffer(kCopySize);
  std::uint64_t at = 0;
  while (at < size) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kCopySize, size - at));
    const ssize_t got = pread(spoolFd, buffer.data(), want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      readFailed = true;
      return false;
    }
    if (!gzip_.Write(buffer.data(), static_cast<std::size_t>(got))) return false;
    at += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool TWarcFile::Append(std::string_view head, std::string_view inlineBlock, int spoolFd,
                       std::uint64_t spoolSize, TWarcRecordInfo& record, TWarcError& error,
                       bool store) {
  gzip_.Begin(store);
  bool ok = gzip_.Write(head) && gzip_.Write(inlineBlock);
  bool spoolFailed = false;
  if (ok && spoolFd >= 0) ok = Copy(spoolFd, spoolSize, spoolFailed);
  ok = ok && gzip_.Write(kRecordEnd, 4) && gzip_.Finish();
  if (!ok) {
    error = {spoolFailed ? TWarcFailure::Spool : TWarcFailure::Write, errno, path_};
    // Whatever part of the member reached the file is cut off again.
    if (ftruncate(fd_, static_cast<off_t>(size_)) == 0) {
      lseek(fd_, static_cast<off_t>(size_), SEEK_SET);
    }
    return false;
  }
  record.offset = size_;
  record.length = gzip_.MemberSize();
  size_ += gzip_.MemberSize();
  if (const auto entry = IndexEntryFor(record, BaseName(path_))) {
    const std::string line = CdxjLine(*entry);
    if (!WriteAll(indexFd_, line.data(), line.size())) {
      error = {TWarcFailure::Index, errno, IndexPartPathFor(path_)};
      return false;
    }
  }
  return true;
}

bool TWarcFile::Close(TWarcError& error) {
  if (fd_ < 0) return true;
  close(indexFd_);
  close(fd_);
  fd_ = -1;
  indexFd_ = -1;
  return SortIndex(path_, kIndexSortBudget, error);
}

std::vector<std::string> RepairUnfinishedArchives(const std::string& folder,
                                                  std::size_t sortBudget) {
  std::vector<std::string> repaired;
  std::vector<std::string> parts;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 10 && name.ends_with(".cdxj.part")) parts.push_back(name);
    }
    closedir(dir);
  }
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const std::string& part : parts) {
    const std::string stem = prefix + part.substr(0, part.size() - 10);
    const std::string warc = stem + ".warc.gz";
    const int fd = open(warc.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) std::remove((prefix + part).c_str());
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {  // still being written
      close(fd);
      continue;
    }
    const std::string partPath = prefix + part;
    FILE* index = std::fopen(partPath.c_str(), "wb");
    TWarcReader reader(warc);
    while (const auto record = reader.Next()) {
      if (const auto entry = IndexEntryFor(*record, BaseName(warc)); entry && index) {
        std::fputs(CdxjLine(*entry).c_str(), index);
      }
    }
    const bool indexed = index != nullptr && std::fclose(index) == 0;
    if (reader.End() == TWarcEnd::CutShort) {
      if (ftruncate(fd, static_cast<off_t>(reader.WholeEnd())) != 0) {
        close(fd);
        continue;
      }
    }
    TWarcError ignored;
    if (indexed && reader.End() != TWarcEnd::Unreadable && SortIndex(warc, sortBudget, ignored)) {
      repaired.push_back(warc);
    }
    close(fd);
  }
  return repaired;
}

}  // namespace kestrix
