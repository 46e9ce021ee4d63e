#include "warc/warc_reader.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/ascii.h"
#include "warc/http_message_scan.h"

namespace kestrix {

namespace {

constexpr std::size_t kMaxRecordHead = 1024 * 1024;
constexpr std::size_t kHttpHeadBytes = 64 * 1024;
constexpr std::size_t kReadSize = 64 * 1024;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

// Splits decoded bytes into records. Offsets count decoded bytes unless the
// reader names the gzip member a record starts in.
class TWarcReader::TParser {
 public:
  std::optional<std::uint64_t> memberStart;  // set while reading a gzip file
  std::vector<TWarcRecordInfo> done;         // whole records, not yet handed out
  std::uint64_t pos = 0;                     // decoded bytes seen

  // False once the bytes are not a record.
  bool Feed(const char* data, std::size_t size) {
    while (size > 0 && !damaged_) {
      switch (state_) {
        case TState::Head:
          Head(data, size);
          break;
        case TState::Block:
          Block(data, size);
          break;
        case TState::Trailer:
          // The block is followed by two line ends; be lenient about them.
          if ((*data == '\r' || *data == '\n') && trailerLeft_ > 0) {
            --trailerLeft_;
            ++data;
            --size;
            ++pos;
          } else {
            EndRecord();
          }
          break;
      }
    }
    return !damaged_;
  }

  // At the end of a member or of the file: a record whose block is read
  // is whole even when its closing line ends are missing.
  void Settle() {
    if (state_ == TState::Trailer) EndRecord();
  }
  bool BetweenRecords() const { return state_ == TState::Head && head_.empty(); }

 private:
  enum class TState : std::uint8_t { Head, Block, Trailer };

  void Head(const char*& data, std::size_t& size) {
    if (head_.empty()) {
      // Stray line ends between records are tolerated.
      while (size > 0 && (*data == '\r' || *data == '\n')) {
        ++data;
        --size;
        ++pos;
      }
      if (size == 0) return;
      current_ = TWarcRecordInfo();
      current_.offset = memberStart ? *memberStart : pos;
    }
    const char* end = static_cast<const char*>(memchr(data, '\n', size));
    const std::size_t take = end == nullptr ? size : static_cast<std::size_t>(end - data) + 1;
    head_.append(data, take);
    data += take;
    size -= take;
    pos += take;
    if (head_.size() > kMaxRecordHead || (head_.size() >= 5 && head_.compare(0, 5, "WARC/") != 0)) {
      damaged_ = true;
      return;
    }
    if (end == nullptr) return;
    const bool blank = head_.size() >= 2 && (head_.ends_with("\n\n") || head_.ends_with("\n\r\n"));
    if (blank) StartBlock();
  }

  void StartBlock() {
    bool haveLength = false;
    std::string_view rest = head_;
    rest.remove_prefix(rest.find('\n') + 1);
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string_view name = TrimBlanks(line.substr(0, colon));
      const std::string value(TrimBlanks(line.substr(colon + 1)));
      if (EqualsNoCase(name, "WARC-Type")) current_.type = value;
      if (EqualsNoCase(name, "WARC-Target-URI")) current_.targetUri = value;
      if (EqualsNoCase(name, "WARC-Record-ID")) current_.recordId = value;
      if (EqualsNoCase(name, "WARC-Date")) current_.date = value;
      if (EqualsNoCase(name, "Content-Type")) current_.contentType = value;
      if (EqualsNoCase(name, "WARC-Payload-Digest")) current_.payloadDigest = value;
      if (EqualsNoCase(name, "WARC-Truncated")) current_.truncated = value;
      if (EqualsNoCase(name, "Content-Length")) {
        haveLength = !value.empty() && value.size() <= 18 &&
                     value.find_first_not_of("0123456789") == std::string::npos;
        if (haveLength) current_.contentLength = std::stoull(value);
      }
    }
    // 1.0 writers put the target URI in angle brackets.
    if (current_.targetUri.size() >= 2 && current_.targetUri.front() == '<' &&
        current_.targetUri.back() == '>') {
      current_.targetUri = current_.targetUri.substr(1, current_.targetUri.size() - 2);
    }
    head_.clear();
    if (!haveLength) {
      damaged_ = true;
      return;
    }
    http_.emplace();
    httpFed_ = StartsNoCase(current_.contentType, "application/http") ? 0 : kHttpHeadBytes;
    blockLeft_ = current_.contentLength;
    state_ = TState::Block;
    if (blockLeft_ == 0) EndBlock();
  }

  void Block(const char*& data, std::size_t& size) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(blockLeft_, size));
    if (httpFed_ < kHttpHeadBytes && !http_->HeaderComplete()) {
      const std::size_t look = std::min(take, kHttpHeadBytes - httpFed_);
      http_->Feed(data, look);
      httpFed_ += look;
    }
    data += take;
    size -= take;
    pos += take;
    blockLeft_ -= take;
    if (blockLeft_ == 0) EndBlock();
  }

  void EndBlock() {
    if (http_->HeaderComplete()) {
      current_.httpStatus = http_->Status();
      if (const auto type = http_->Field("Content-Type")) {
        current_.httpMime = std::string(TrimBlanks(type->substr(0, type->find(';'))));
      }
    }
    state_ = TState::Trailer;
    trailerLeft_ = 4;
  }

  void EndRecord() {
    if (!memberStart) current_.length = pos - current_.offset;
    done.push_back(std::move(current_));
    state_ = TState::Head;
  }

  TState state_ = TState::Head;
  std::string head_;
  TWarcRecordInfo current_;
  std::uint64_t blockLeft_ = 0;
  std::optional<THttpMessageScan> http_;
  std::size_t httpFed_ = 0;
  int trailerLeft_ = 0;
  bool damaged_ = false;
};

struct TWarcReader::TInput {
  int fd = -1;
  bool gzip = false;
  bool zInit = false;
  z_stream z{};
  std::vector<unsigned char> in = std::vector<unsigned char>(kReadSize);
  std::vector<char> out = std::vector<char>(kReadSize);
  std::uint64_t fileOffset = 0;  // bytes of the file read so far
  std::uint64_t memberStart = 0;
  bool atEof = false;

  ~TInput() {
    if (zInit) inflateEnd(&z);
    if (fd >= 0) close(fd);
  }

  // Reads more of the file into `in`; false at its end or on an error.
  bool Fill(bool& failed) {
    ssize_t got;
    do {
      got = read(fd, in.data(), in.size());
    } while (got < 0 && errno == EINTR);
    failed = got < 0;
    if (got <= 0) {
      atEof = true;
      return false;
    }
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(got);
    fileOffset += static_cast<std::uint64_t>(got);
    return true;
  }
  // Offset in the file of the next byte not yet taken by inflate.
  std::uint64_t Consumed() const { return fileOffset - z.avail_in; }
};

TWarcReader::TWarcReader(const std::string& path, std::uint64_t offset)
    : parser_(new TParser), input_(new TInput) {
  input_->fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (input_->fd < 0 || lseek(input_->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    Finish(TWarcEnd::Unreadable);
    return;
  }
  input_->fileOffset = input_->memberStart = offset;
  parser_->pos = wholeEnd_ = offset;
  bool failed = false;
  if (!input_->Fill(failed)) {
    Finish(failed ? TWarcEnd::Unreadable : TWarcEnd::Clean);
    return;
  }
  input_->gzip = input_->z.avail_in >= 2 && input_->in[0] == 0x1f && input_->in[1] == 0x8b;
  if (input_->gzip) {
    if (inflateInit2(&input_->z, 15 + 16) != Z_OK) {
      Finish(TWarcEnd::Unreadable);
      return;
    }
    input_->zInit = true;
    parser_->memberStart = offset;
  }
}

TWarcReader::~TWarcReader() = default;

std::optional<TWarcRecordInfo> TWarcReader::Next() {
  while (ready_.empty() && !finished_) {
    if (!Step()) break;
  }
  if (ready_.empty()) return std::nullopt;
  TWarcRecordInfo record = std::move(ready_.front());
  ready_.pop_front();
  return record;
}

void TWarcReader::Finish(TWarcEnd end) {
  finished_ = end;
  end_ = end;
}

void TWarcReader::Feed(const char* data, std::size_t size) {
  if (!parser_->Feed(data, size)) Finish(TWarcEnd::Damaged);
}

void TWarcReader::AtMemberEnd(std::uint64_t memberEnd) {
  parser_->Settle();
  if (!parser_->BetweenRecords()) return;  // a record goes on in the next member
  for (TWarcRecordInfo& record : parser_->done) {
    record.length = memberEnd - record.offset;
    ready_.push_back(std::move(record));
  }
  parser_->done.clear();
  wholeEnd_ = memberEnd;
}

// Reads and decodes one more piece; false once the file is over.
bool TWarcReader::Step() {
  TInput& in = *input_;
  bool failed = false;
  if (!in.gzip) {
    if (in.z.avail_in == 0 && !in.Fill(failed)) {
      parser_->Settle();
      for (TWarcRecordInfo& record : parser_->done) {
        wholeEnd_ = record.offset + record.length;
        ready_.push_back(std::move(record));
      }
      parser_->done.clear();
      Finish(failed                      ? TWarcEnd::Unreadable
             : parser_->BetweenRecords() ? TWarcEnd::Clean
                                         : TWarcEnd::CutShort);
      return false;
    }
    Feed(reinterpret_cast<const char*>(in.z.next_in), in.z.avail_in);
    in.z.avail_in = 0;
    for (TWarcRecordInfo& record : parser_->done) {
      wholeEnd_ = record.offset + record.length;
      ready_.push_back(std::move(record));
    }
    parser_->done.clear();
    return !finished_;
  }

  if (in.z.avail_in == 0 && !in.Fill(failed)) {
    const bool midMember = in.Consumed() != in.memberStart;
    Finish(failed                                    ? TWarcEnd::Unreadable
           : midMember || !parser_->BetweenRecords() ? TWarcEnd::CutShort
                                                     : TWarcEnd::Clean);
    return false;
  }
  in.z.next_out = reinterpret_cast<Bytef*>(in.out.data());
  in.z.avail_out = static_cast<uInt>(in.out.size());
  const int result = inflate(&in.z, Z_NO_FLUSH);
  const std::size_t produced = in.out.size() - in.z.avail_out;
  if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
    Finish(TWarcEnd::Damaged);
    return false;
  }
  Feed(in.out.data(), produced);
  if (finished_) return false;
  if (result == Z_STREAM_END) {
    const std::uint64_t memberEnd = in.Consumed();
    AtMemberEnd(memberEnd);
    in.memberStart = memberEnd;
    parser_->memberStart = memberEnd;
    inflateReset(&in.z);
    // What follows a member must be another member or nothing.
    if (in.z.avail_in == 0 && !in.Fill(failed)) {
      Finish(failed                      ? TWarcEnd::Unreadable
             : parser_->BetweenRecords() ? TWarcEnd::Clean
                                         : TWarcEnd::CutShort);
      return false;
    }
    if (in.z.avail_in >= 1 && in.z.next_in[0] != 0x1f) {
      Finish(TWarcEnd::Damaged);
      return false;
    }
  }
  return true;
}

}  // namespace kestrix
