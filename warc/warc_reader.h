// Reads the records of a web archive one by one, gzip-compressed (a member
// per record or several records per member) or plain, without holding a
// record's block in memory. It stops at the first bytes that are not a
// whole record and says why, so that a file cut by a stop can be listed,
// indexed and cut back to its last whole record.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace kestrix {

struct TWarcRecordInfo {
  std::string type;  // WARC-Type
  std::string targetUri;
  std::string recordId;
  std::string date;
  std::string contentType;  // of the record's block
  std::string payloadDigest;
  std::string truncated;  // WARC-Truncated, empty when whole
  int httpStatus = 0;     // of an HTTP reply held in the block; 0 otherwise
  std::string httpMime;   // its Content-Type without parameters
  std::uint64_t contentLength = 0;
  std::uint64_t offset = 0;  // where the record starts in the file (its gzip member)
  std::uint64_t length = 0;  // bytes it takes in the file
};

enum class TWarcEnd : std::uint8_t {
  Clean,       // the file ends after a whole record
  CutShort,    // the file ends inside a record
  Damaged,     // bytes that are no record follow
  Unreadable,  // the file could not be opened or read
};

class TWarcReader {
 public:
  // Reads from `offset` on: the start of a record (of its gzip member).
  explicit TWarcReader(const std::string& path, std::uint64_t offset = 0);
  ~TWarcReader();
  TWarcReader(const TWarcReader&) = delete;
  TWarcReader& operator=(const TWarcReader&) = delete;

  // The next whole record; none once the readable part is over.
  std::optional<TWarcRecordInfo> Next();

  // Once Next gave none: how the file ended, and the offset just after the
  // last whole record (for a gzip file, the end of its member).
  TWarcEnd End() const { return end_; }
  std::uint64_t WholeEnd() const { return wholeEnd_; }

 private:
  bool Step();
  void Feed(const char* data, std::size_t size);
  void AtMemberEnd(std::uint64_t memberEnd);
  void Finish(TWarcEnd end);

  class TParser;
  std::unique_ptr<TParser> parser_;
  struct TInput;
  std::unique_ptr<TInput> input_;
  std::deque<TWarcRecordInfo> ready_;
  std::optional<TWarcEnd> finished_;
  TWarcEnd end_ = TWarcEnd::Clean;
  std::uint64_t wholeEnd_ = 0;
};

}  // namespace kestrix
