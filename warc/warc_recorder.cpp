#include "warc/warc_recorder.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "core/ascii.h"
#include "warc/warc_fields.h"

namespace kestrix {

namespace {

constexpr char kRevisitNotModified[] =
    "http://netpreserve.org/warc/1.1/revisit/server-not-modified";
constexpr int kMaxSerial = 99999;

const char* TruncatedValue(TExchangeEnd end) {
  switch (end) {
    case TExchangeEnd::Complete:
      return "";
    case TExchangeEnd::CutLength:
      return "length";
    case TExchangeEnd::CutTime:
      return "time";
    case TExchangeEnd::CutDisconnect:
      return "disconnect";
    case TExchangeEnd::CutOther:
      break;
  }
  return "unspecified";
}

// Replies that carry no body whatever their header says.
bool BodylessStatus(int status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

// Whether a reply's body is compressed already, so that deflating it again
// would be wasted work.
bool CompressedAlready(const THttpMessageScan& reply, const std::string& mime) {
  const auto coding = reply.Field("Content-Encoding");
  if (coding && !coding->empty() && !EqualsNoCase(*coding, "identity")) return true;
  const std::string type = AsciiLower(mime);
  if (type.starts_with("image/")) return type != "image/svg+xml" && type != "image/bmp";
  if (type.starts_with("audio/") || type.starts_with("video/") || type.starts_with("font/woff")) {
    return true;
  }
  for (const char* packed : {"application/zip", "application/gzip", "application/x-gzip",
                             "application/x-bzip2", "application/x-xz", "application/zstd",
                             "application/x-7z-compressed", "application/vnd.rar"}) {
    if (type == packed) return true;
  }
  return false;
}

std::string MimeOf(const THttpMessageScan& scan) {
  const auto type = scan.Field("Content-Type");
  if (!type) return {};
  std::string mime = type->substr(0, type->find(';'));
  while (!mime.empty() && (mime.back() == ' ' || mime.back() == '\t')) mime.pop_back();
  return mime;
}

}  // namespace

std::string DefaultWarcBaseName(std::string_view project,
                                std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &utc);
  return std::string(project) + "-" + stamp;
}

struct TWarcRecorder::TExchange {
  TExchange(std::string url, std::chrono::system_clock::time_point when,
            std::optional<TEarlierCapture> earlier, const std::string& folder)
      : url(std::move(url)), date(WarcDate(when)), earlier(std::move(earlier)), spool(folder) {}
  std::string url;
  std::string date;
  std::optional<TEarlierCapture> earlier;
  std::string ip;
  TExchangeSpool spool;
};

TWarcRecorder::TWarcRecorder(TWarcSettings settings) : settings_(std::move(settings)) {
  if (settings_.folder.empty()) settings_.folder = ".";
}

TWarcRecorder::~TWarcRecorder() {
  Close();
}

bool TWarcRecorder::Open() {
  // A first run may start before anything has made the project folder.
  std::error_code failed;
  std::filesystem::create_directories(settings_.folder, failed);
  repaired_ = RepairUnfinishedArchives(settings_.folder, kIndexSortBudget);
  return NextFile();
}

bool TWarcRecorder::NextFile() {
  if (file_) {
    TWarcError closing;
    if (!file_->Close(closing) && !error_) error_ = closing;
    file_.reset();
  }
  const std::string stem =
      settings_.folder + (settings_.folder.ends_with('/') ? "" : "/") + settings_.baseName;
  while (serial_ <= kMaxSerial) {
    char suffix[16] = "";
    if (serial_ > 0) std::snprintf(suffix, sizeof suffix, "-%05d", serial_);
    ++serial_;
    TWarcError failed;
    file_ = TWarcFile::Create(stem + suffix + ".warc.gz", settings_.compressionLevel, failed);
    if (file_) break;
    if (failed.code != EEXIST) {
      error_ = failed;
      return false;
    }
  }
  if (!file_) {
    error_ = {TWarcFailure::Create, EEXIST, stem + ".warc.gz"};
    return false;
  }
  files_.push_back(file_->Path());
  return WriteInfo();
}

bool TWarcRecorder::WriteInfo() {
  TWarcFields body;
  if (!settings_.software.empty()) body.Add("software", settings_.software);
  body.Add("format", "WARC File Format 1.1");
  for (const auto& [name, value] : settings_.info) body.Add(name, value);
  const std::string block = body.Lines();

  TWarcRecordInfo record;
  record.type = "warcinfo";
  record.recordId = NewRecordId();
  record.date = WarcDate(std::chrono::system_clock::now());
  TSha1Digest digest;
  digest.Update(block);
  TWarcFields head;
  head.Add("WARC-Type", record.type);
  head.Add("WARC-Record-ID", record.recordId);
  head.Add("WARC-Date", record.date);
  const std::string& path = file_->Path();
  head.Add("WARC-Filename", path.substr(path.rfind('/') + 1));
  head.Add("WARC-Block-Digest", digest.Label());
  head.Add("Content-Type", "application/warc-fields");
  infoId_ = record.recordId;
  return Append(head.Text(block.size()), block, -1, 0, record);
}

bool TWarcRecorder::Append(const std::string& head, std::string_view block, int spoolFd,
                           std::uint64_t spoolSize, TWarcRecordInfo& record, bool store) {
  if (error_ || !file_) return false;
  return file_->Append(head, block, spoolFd, spoolSize, record, error_, store);
}

TWarcRecorder::TExchangeId TWarcRecorder::BeginExchange(std::string_view url,
                                                        std::chrono::system_clock::time_point when,
                                                        std::optional<TEarlierCapture> earlier) {
  if (error_ || !file_) return 0;
  auto exchange =
      std::make_unique<TExchange>(SafeUri(url), when, std::move(earlier), settings_.folder);
  if (exchange->spool.Failed()) {
    error_ = {TWarcFailure::Spool, exchange->spool.Errno(), settings_.folder};
    return 0;
  }
  open_[++lastId_] = std::move(exchange);
  return lastId_;
}

void TWarcRecorder::RequestBytes(TExchangeId id, std::string_view bytes) {
  if (const auto found = open_.find(id); found != open_.end()) found->second->spool.Request(bytes);
}

void TWarcRecorder::ReplyBytes(TExchangeId id, std::string_view bytes) {
  const auto found = open_.find(id);
  if (found == open_.end() || found->second->spool.Reply(bytes)) return;
  error_ = {TWarcFailure::Spool, found->second->spool.Errno(), settings_.folder};
  open_.clear();
}

void TWarcRecorder::PeerAddress(TExchangeId id, std::string_view ip) {
  if (const auto found = open_.find(id); found != open_.end()) found->second->ip = ip;
}

void TWarcRecorder::EndExchange(TExchangeId id, TExchangeEnd end) {
  const auto found = open_.find(id);
  if (found == open_.end()) return;
  std::unique_ptr<TExchange> exchange = std::move(found->second);
  open_.erase(found);
  if (error_) return;
  // Roll over between exchanges, so that a request and its reply share a
  // file, and only when there is something for the next file.
  if (file_ && file_->Size() >= settings_.maxFileSize && !NextFile()) return;
  WriteExchange(*exchange, end);
}

void TWarcRecorder::WriteExchange(TExchange& exchange, TExchangeEnd end) {
  TExchangeSpool& spool = exchange.spool;
  const bool haveReply = spool.ReplySize() > 0;
  if (spool.RequestBytes().empty() && !haveReply) return;
  if (!spool.Flush()) {
    error_ = {TWarcFailure::Spool, spool.Errno(), settings_.folder};
    return;
  }
  const std::string requestId = NewRecordId();
  const std::string responseId = haveReply ? NewRecordId() : std::string();
  const THttpMessageScan& reply = spool.ReplyScan();
  const int status = reply.HeaderComplete() ? reply.Status() : 0;

  if (!spool.RequestBytes().empty()) {
    const THttpMessageScan& request = spool.RequestScan();
    TWarcRecordInfo record;
    record.type = "request";
    TWarcFields head;
    head.Add("WARC-Type", record.type);
    head.Add("WARC-Record-ID", requestId);
    head.Add("WARC-Date", exchange.date);
    head.Add("WARC-Target-URI", exchange.url);
    head.Add("WARC-Warcinfo-ID", infoId_);
    if (haveReply) head.Add("WARC-Concurrent-To", responseId);
    if (!exchange.ip.empty()) head.Add("WARC-IP-Address", exchange.ip);
    head.Add("WARC-Block-Digest", spool.RequestDigest());
    if (const auto payload = request.PayloadDigest()) head.Add("WARC-Payload-Digest", *payload);
    head.Add("Content-Type", "application/http;msgtype=request");
    if (!Append(head.Text(spool.RequestBytes().size()), spool.RequestBytes(), -1, 0, record)) {
      return;
    }
  }
  if (!haveReply) return;

  // A record that does not hold the whole reply says so, even when the
  // client took the reply as done: it stopped reading a body, say.
  std::string truncated = TruncatedValue(end);
  const bool head = StartsNoCase(spool.RequestScan().StartLine(), "HEAD ");
  if (truncated.empty() &&
      (!reply.HeaderComplete() || (!BodylessStatus(status) && !head && reply.BodyShort()))) {
    truncated = "unspecified";
  }
  TWarcRecordInfo record;
  record.type = status == 304 ? "revisit" : "response";
  record.targetUri = exchange.url;
  record.date = exchange.date;
  record.httpStatus = status;
  record.httpMime = MimeOf(reply);
  TWarcFields fields;
  fields.Add("WARC-Type", record.type);
  fields.Add("WARC-Record-ID", responseId);
  fields.Add("WARC-Date", exchange.date);
  fields.Add("WARC-Target-URI", exchange.url);
  fields.Add("WARC-Warcinfo-ID", infoId_);
  if (!spool.RequestBytes().empty()) fields.Add("WARC-Concurrent-To", requestId);
  if (!exchange.ip.empty()) fields.Add("WARC-IP-Address", exchange.ip);
  fields.Add("WARC-Block-Digest", spool.ReplyDigest());
  if (record.type == "revisit") {
    // The payload of a not-modified revisit is the earlier capture's.
    if (!exchange.earlier) {
      if (!captures_) captures_.emplace().Load(settings_.folder);
      exchange.earlier = captures_->Find(exchange.url);
    }
    const TEarlierCapture earlier = exchange.earlier.value_or(TEarlierCapture());
    record.payloadDigest = earlier.payloadDigest;
    fields.Add("WARC-Profile", kRevisitNotModified);
    if (!earlier.recordId.empty()) fields.Add("WARC-Refers-To", earlier.recordId);
    if (!earlier.targetUri.empty()) {
      fields.Add("WARC-Refers-To-Target-URI", SafeUri(earlier.targetUri));
    }
    if (!earlier.date.empty()) fields.Add("WARC-Refers-To-Date", earlier.date);
  } else if (const auto payload = reply.PayloadDigest()) {
    record.payloadDigest = *payload;
  }
  if (!record.payloadDigest.empty()) fields.Add("WARC-Payload-Digest", record.payloadDigest);
  if (!truncated.empty()) fields.Add("WARC-Truncated", truncated);
  fields.Add("Content-Type", "application/http;msgtype=response");
  Append(fields.Text(spool.ReplySize()), {}, spool.ReplyFd(), spool.ReplySize(), record,
         CompressedAlready(reply, record.httpMime));
}

bool TWarcRecorder::Close() {
  // Exchanges still open were cut by the stop; what arrived is kept.
  while (!open_.empty() && !error_) EndExchange(open_.begin()->first, TExchangeEnd::CutOther);
  open_.clear();
  if (file_) {
    TWarcError closing;
    if (!file_->Close(closing) && !error_) error_ = closing;
    file_.reset();
  }
  return !error_;
}

}  // namespace kestrix
