// One archive file being written, with its index. Records are appended as
// gzip members; a record that fails half-way is cut off again so that the
// file always ends after a whole record. Index lines go unsorted to a part
// file while the archive grows and are sorted into the index at Close; a
// part file left behind marks an archive that was not closed (see
// RepairUnfinishedArchives).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "warc/gzip_member.h"
#include "warc/warc_error.h"
#include "warc/warc_reader.h"

namespace kestrix {

class TWarcFile {
 public:
  // Creates `path`, never replacing a file that exists; none with `error`
  // set on failure. The file is locked against repair by another process
  // while it is open.
  static std::unique_ptr<TWarcFile> Create(const std::string& path, int level, TWarcError& error);
  ~TWarcFile();
  TWarcFile(const TWarcFile&) = delete;
  TWarcFile& operator=(const TWarcFile&) = delete;

  // Appends a record: `head` (its fields), a block made of `inlineBlock`
  // followed by the first `spoolSize` bytes of the file `spoolFd` (-1: none),
  // and the closing line ends. `record` gets the offset and length the
  // record took and, when it is a capture, gives the index line. `store`
  // leaves the record uncompressed. False with `error` set when the file
  // could not be written; the file is cut back.
  bool Append(std::string_view head, std::string_view inlineBlock, int spoolFd,
              std::uint64_t spoolSize, TWarcRecordInfo& record, TWarcError& error,
              bool store = false);

  // Sorts the index, closes the file; false with `error` when the index
  // could not be written (the archive itself is whole either way).
  bool Close(TWarcError& error);

  const std::string& Path() const { return path_; }
  std::uint64_t Size() const { return size_; }

 private:
  TWarcFile(std::string path, int fd, int indexFd, int level);
  bool Copy(int spoolFd, std::uint64_t size, bool& readFailed);

  std::string path_;
  int fd_;
  int indexFd_;
  TGzipMemberWriter gzip_;
  std::uint64_t size_ = 0;
};

// Finishes the archives in `folder` that a stopped run left open (each has
// an index part file beside it and is not locked by a running writer): a
// record cut short at the end is cut off, and the index is rebuilt from the
// records themselves. Bytes that are damaged rather than cut short are left
// as they are. Gives the archives repaired.
std::vector<std::string> RepairUnfinishedArchives(const std::string& folder,
                                                  std::size_t sortBudget);

// How much memory an index sort may hold before it goes through run files.
inline constexpr std::size_t kIndexSortBudget = 32 * 1024 * 1024;

}  // namespace kestrix
