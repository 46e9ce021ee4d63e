#include "exploration/explorer_fetcher.h"

#include <chrono>
#include <exception>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/fetch_limits.h"
#include "engine/queue_texts.h"
#include "engine/reply_header.h"
#include "engine/request_options.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

constexpr int kAbortedByRequest = 3;
constexpr int kFirstErrorStatus = 400;

}  // namespace

TExplorerFetcher::TExplorerFetcher(const TGlobalOptions& options) : options_(options) {
  ReceiveStream = nullptr;
  ModifiedSince = 0;
  OnLocationChange = [this](auto&&...) { HandleLocationChange(); };
  OnHeaderEnd = [this](auto&&...) { HandleHeaderEnd(); };
  OnDocBegin = [this](auto&&...) { HandleDocBegin(); };
  OnDocData = [this](auto&, const char* data, int length) { HandleDocData(data, length); };
  OnRequestDone = [this](auto&, auto, auto error) { HandleRequestDone(static_cast<int>(error)); };
  OnStateChange = [this](auto&&...) {
    if (running_ && options_.TimeOut > 0) idleTimer_.start(std::chrono::seconds(options_.TimeOut));
  };
  idleTimer_.setSingleShot(true);
  QObject::connect(&idleTimer_, &QTimer::timeout, [this] { TimedOut(); });
}

TExplorerFetcher::~TExplorerFetcher() {
  Detach();
}

void TExplorerFetcher::Detach() {
  OnStatus = nullptr;
  OnLog = nullptr;
  OnHtmlPiece = nullptr;
  OnFinished = nullptr;
  idleTimer_.stop();
  if (running_ && State() != httpReady && State() != httpAborting) {
    try {
      Abort();
    } catch (const std::exception&) {
      // Going away regardless.
    }
  }
  running_ = false;
  OnLocationChange = nullptr;
  OnHeaderEnd = nullptr;
  OnDocBegin = nullptr;
  OnDocData = nullptr;
  OnRequestDone = nullptr;
  OnStateChange = nullptr;
  ReceiveStream = nullptr;
  SendStream = nullptr;
  decoder_.reset();
  file_.reset();
}

void TExplorerFetcher::Status(const std::string& text) {
  if (OnStatus) OnStatus(text);
}

bool TExplorerFetcher::Fetch(TRetriveRec& entry) {
  if (running_) return false;
  entry_ = &entry;
  ApplyRequestOptions(*this, options_);
  URL = entry.Job.editUrl;
  ModifiedSince = 0;
  ContentRangeBegin.clear();
  ContentRangeEnd.clear();
  entry.IsHtml = 0;
  entry.ErrorCode = 0;
  relocations_ = 0;
  timedOut_ = relocationLoop_ = undecodable_ = false;
  outcome_.clear();
  Status(entry.RequestMethod == kMethodPost ? "Posting ..." : "Connect : " + entry.Job.editUrl);
  running_ = true;
  try {
    StartEntryRequest(*this, entry, post_);
  } catch (const std::exception& failure) {
    running_ = false;
    outcome_ = failure.what();
    entry.ErrorCode = kErrUndecodableBody;
    Status(outcome_);
    if (OnLog) OnLog(entry.Job.editUrl + ": " + outcome_);
    return false;
  }
  if (options_.TimeOut > 0) idleTimer_.start(std::chrono::seconds(options_.TimeOut));
  return true;
}

void TExplorerFetcher::Stop() {
  if (running_ && State() != httpReady && State() != httpAborting) Abort();
}

void TExplorerFetcher::TimedOut() {
  if (!running_ || State() == httpReady || State() == httpAborting) return;
  timedOut_ = true;
  Abort();
}

void TExplorerFetcher::HandleLocationChange() {
  TRetriveRec& entry = *entry_;
  entry.Job.editUrl = RelocationTarget(ReceivedHeader(), Location(), entry.Job.editUrl);
  if (OnLog) OnLog("Relocating to: " + entry.Job.editUrl);
  if (++relocations_ > kMaxRelocations) {
    relocationLoop_ = true;
    // The client restarts the request once this event returns.
    QTimer::singleShot(0, [this] {
      if (running_ && State() != httpReady && State() != httpAborting) Abort();
    });
  }
}

void TExplorerFetcher::HandleHeaderEnd() {
  entry_->IsHtml = IsHtmlType(ContentType());
  if (OnLog) {
    for (const std::string& line : ReceivedHeader()) OnLog(line);
    OnLog("");
    OnLog("****************");
    OnLog("");
  }
}

void TExplorerFetcher::HandleDocBegin() {
  TRetriveRec& entry = *entry_;
  decoder_.reset();
  file_.reset();
  ReceiveStream = nullptr;
  entry.ReceivedSize = 0;
  try {
    if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
      throw std::runtime_error("Can't create folder " + entry.LocalFolder);
    }
    const std::vector<std::string>& header = ReceivedHeader();
    const std::string coding = HeaderValue(header, "content-encoding");
    const bool chunked = IsChunkedTransfer(HeaderValue(header, "transfer-encoding"));
    const TContentCoding kind = ContentCodingOf(coding);
    if (kind == TContentCoding::Unsupported) {
      undecodable_ = true;
      outcome_ = "Unsupported Content-Encoding: " + coding.substr(0, 100);
      return;
    }
    file_ = std::make_unique<TFileOutStream>(entry.LocalFolder + entry.LocalFileName,
                                             TFileOutStream::Create);
    const bool coded = chunked || kind != TContentCoding::Identity;
    entry.ContentSize = !coded && ContentLength() >= 0 ? ContentLength() : -1;
    if (coded) {
      decoder_ = std::make_unique<TBodyDecoder>(*file_, chunked, kind);
      ReceiveStream = decoder_.get();
    } else {
      ReceiveStream = file_.get();
    }
  } catch (const std::exception& failure) {
    undecodable_ = true;
    outcome_ = failure.what();
    file_.reset();
  }
}

void TExplorerFetcher::HandleDocData(const char* data, int length) {
  const TRetriveRec& entry = *entry_;
  // A coded body is shown once decoded, from the saved file.
  if (entry.IsHtml && !decoder_ && OnHtmlPiece && length > 0) {
    OnHtmlPiece(std::string(data, static_cast<size_t>(length)));
  }
  Status(ProgressText({0, entry.ContentSize, ReceivedCount(), ContentLength()}) + " byte");
}

void TExplorerFetcher::HandleRequestDone(int error) {
  idleTimer_.stop();
  if (!running_) return;
  TRetriveRec& entry = *entry_;
  int code = 0;
  if (error == 0) {
    if (SocketLastError() > 0) code = SocketLastError();
  } else if (error == kAbortedByRequest) {
    code = timedOut_ ? WSAETIMEDOUT : relocationLoop_ ? kRelocationLoopError : WSAECONNABORTED;
  } else {
    code = error;
  }
  std::string decoding;
  if (decoder_) {
    decoding = decoder_->Finish();
    entry.ReceivedSize = decoder_->Written();
  } else if (file_) {
    entry.ReceivedSize = ReceivedCount();
  }
  decoder_.reset();
  file_.reset();
  ReceiveStream = nullptr;
  SendStream = nullptr;
  post_.reset();
  if (code == 0 && (undecodable_ || !decoding.empty())) code = kErrUndecodableBody;
  // Once the body arrived whole its size is known, even when the reply
  // gave none: a later "next level" may then show it from the cache.
  if (code == 0 && entry.ContentSize < 0) entry.ContentSize = entry.ReceivedSize;
  if (code == 0 && StatusCode() < kFirstErrorStatus && ContentLength() >= 1 &&
      entry.ReceivedSize < ContentLength()) {
    code = kErrShortBody;
  }
  entry.ErrorCode = code;
  if (outcome_.empty()) {
    outcome_ = ReasonPhrase();
    if (code == WSAETIMEDOUT || code == kErrShortBody || code == WSAECONNRESET) {
      outcome_ = WSocketErrorText(code);
    }
    if (code == kRelocationLoopError) {
      outcome_ = "Too many relocations (more than " + std::to_string(kMaxRelocations) + ")";
    }
    if (!decoding.empty()) outcome_ = decoding;
  }
  if (outcome_.empty() && code != 0) outcome_ = WSocketErrorText(code);
  running_ = false;
  Status(std::to_string(entry.ReceivedSize) + "  " + outcome_);
  if (OnLog) OnLog(entry.Job.editUrl + ": " + outcome_);
  if (OnFinished) OnFinished();
}

}  // namespace kestrix
