#include "engine/fetch_core.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/cookie_jar.h"
#include "engine/fetch_limits.h"
#include "engine/request_options.h"
#include "http/content_decoder.h"
#include "http/socket_errors.h"
#include "links/content_names.h"

namespace kestrix {
namespace {

// The client's error for a request ended by Abort.
constexpr int kAbortedByRequest = 3;
constexpr int kFirstSuccessStatus = 200;
constexpr int kPartialContent = 206;
constexpr int kFirstRelocationStatus = 300;

}  // namespace

TFetchCore::TFetchCore() {
  ReceiveStream = nullptr;
  ModifiedSince = 0;
  OnLocationChange = [this](auto&&...) {
    NoteActivity();
    // Another host, or another path, may have cookies of its own.
    SendCookiesFor(TargetUrl());
    Relocated();
  };
  OnCookie = [this](THttpCli&, const std::string& value, bool&) {
    if (cookies_) cookies_->SetCookie(TargetUrl(), value, UnixNow());
  };
  OnHeaderEnd = [this](auto&&...) {
    NoteActivity();
    HeaderEnded();
  };
  OnDocBegin = [this](auto&&...) {
    NoteActivity();
    BodyBegins();
  };
  OnDocData = [this](auto&, const char* data, int length) {
    NoteActivity();
    NoteBodyStop();
    BodyData(data, length);
  };
  OnRequestDone = [this](auto&, auto, auto error) {
    idleTimer_.stop();
    fileTimer_.stop();
    requestRunning_ = false;
    SendStream = nullptr;
    post_.reset();
    int code = error;
    if (error == 0) {
      code = SocketLastError() > 0 ? SocketLastError() : 0;
    } else if (error == kErrShortBody && SocketLastError() > 0) {
      // Cut off by the connection's failure (a reset), not by a clean
      // close: the socket's error tells, whatever the framing.
      code = SocketLastError();
    } else if (error == kAbortedByRequest) {
      switch (abortCause_) {
        case TAbortCause::TimedOut:
          code = WSAETIMEDOUT;
          break;
        case TAbortCause::RelocationLoop:
          code = kRelocationLoopError;
          break;
        case TAbortCause::HeldRelocation:
          code = kRelocationHeld;
          break;
        case TAbortCause::FileTime:
          code = kErrFileTooSlow;
          break;
        default:
          code = WSAECONNABORTED;
      }
    }
    NoteBodyStop();
    // A body that was not kept is never a good copy, however the reply ended.
    if (BodyFailureCode() != 0) code = BodyFailureCode();
    RequestDone(code);
  };
  // Any sign of life from the connection postpones the time-out.
  OnStateChange = [this](auto&&...) { NoteActivity(); };
  OnHeaderData = [this](auto&&...) { NoteActivity(); };
  idleTimer_.setSingleShot(true);
  QObject::connect(&idleTimer_, &QTimer::timeout, [this] { TimedOut(); });
  fileTimer_.setSingleShot(true);
  QObject::connect(&fileTimer_, &QTimer::timeout, [this] {
    if (!requestRunning_ || State() == httpReady || State() == httpAborting) return;
    abortCause_ = TAbortCause::FileTime;
    Abort();
  });
}

TFetchCore::~TFetchCore() {
  Detach();
}

void TFetchCore::Detach() {
  idleTimer_.stop();
  fileTimer_.stop();
  requestRunning_ = false;
  OnLocationChange = nullptr;
  OnHeaderEnd = nullptr;
  OnDocBegin = nullptr;
  OnDocData = nullptr;
  OnRequestDone = nullptr;
  OnStateChange = nullptr;
  OnHeaderData = nullptr;
  OnCookie = nullptr;
  SendStream = nullptr;
  CloseBody();
}

void TFetchCore::PrepareRequest(const TRetriveRec& entry, const TGlobalOptions& options) {
  options_ = &options;
  ApplyRequestOptions(*this, options);
  URL = entry.Job.editUrl;
  ModifiedSince = 0;
  IfNoneMatch.clear();
  // The client keeps the range of the last reply's Content-Range; left
  // there, it would ask the next document for that part only.
  ContentRangeBegin.clear();
  ContentRangeEnd.clear();
  abortCause_ = TAbortCause::None;
  bodyStop_ = TBodyStop::None;
  bodyFailure_.clear();
  sizeLimit_ = std::max<int64_t>(options.MaxFileSize, 0);
  timeLimit_ = std::max(options.MaxFileTime, 0);
  relocations_ = 0;
}

std::optional<std::string> TFetchCore::StartRequest(const TRetriveRec& entry) {
  ++requestSerial_;
  requestRunning_ = true;
  NoteActivity();
  if (timeLimit_ > 0) fileTimer_.start(std::chrono::seconds(timeLimit_));
  SendCookiesFor(URL);
  try {
    StartEntryRequest(*this, entry, post_);
  } catch (const std::exception& failure) {
    idleTimer_.stop();
    fileTimer_.stop();
    requestRunning_ = false;
    return failure.what();
  }
  return std::nullopt;
}

void TFetchCore::SendCookiesFor(const std::string& url) {
  Cookie = cookies_ ? cookies_->CookieHeader(url, UnixNow()) : std::string();
}

void TFetchCore::NoteActivity() {
  if (!requestRunning_ || options_ == nullptr) return;
  if (options_->TimeOut > 0) idleTimer_.start(std::chrono::seconds(options_->TimeOut));
}

void TFetchCore::TimedOut() {
  if (!requestRunning_ || State() == httpReady || State() == httpAborting) return;
  abortCause_ = TAbortCause::TimedOut;
  Abort();
}

void TFetchCore::AbortLater(TAbortCause cause) {
  if (abortCause_ != TAbortCause::None) return;
  abortCause_ = cause;
  const int serial = requestSerial_;
  QTimer::singleShot(0, &idleTimer_, [this, serial] {
    if (requestSerial_ == serial && requestRunning_ && State() != httpReady &&
        State() != httpAborting)
      Abort();
  });
}

void TFetchCore::BodyNotKept(TBodyStop stop, const std::string& failure) {
  if (bodyStop_ == TBodyStop::None) {
    bodyStop_ = stop;
    bodyFailure_ = failure;
  }
  CloseBody();
  AbortLater(TAbortCause::Body);
}

void TFetchCore::NoteBodyStop() {
  if (sink_ && sink_->Stopped() != TBodyStop::None) BodyNotKept(sink_->Stopped(), sink_->Failure());
}

int TFetchCore::BodyFailureCode() const {
  switch (bodyStop_) {
    case TBodyStop::None:
      return 0;
    case TBodyStop::SizeLimit:
      return kErrFileTooLarge;
    case TBodyStop::WriteFailed:
      return kErrCannotWrite;
    case TBodyStop::DiskFull:
      return kErrDiskFull;
  }
  return 0;
}

int64_t TFetchCore::LimitHit() const {
  if (bodyStop_ == TBodyStop::SizeLimit) return sizeLimit_;
  if (abortCause_ == TAbortCause::FileTime) return timeLimit_;
  return 0;
}

std::string TFetchCore::FollowRelocation() {
  // The client restarts the request once this event returns; the abort
  // must come after that restart, not before it.
  if (++relocations_ > kMaxRelocations) AbortLater(TAbortCause::RelocationLoop);
  return TargetUrl();
}

std::optional<std::string> TFetchCore::NameByContent(TRetriveRec& entry, UsedNames& used,
                                                     bool resumed) {
  const int status = StatusCode();
  if (status < kFirstSuccessStatus || status >= kFirstRelocationStatus ||
      entry.LocalFileName.empty() || (resumed && status == kPartialContent)) {
    return std::nullopt;
  }
  const bool adjust = entry.Job->checkLocalize && entry.Job->checkAddHtmExt;
  std::string name = RenameForContent(entry.Job.editUrl, entry.LocalFolder, entry.LocalFileName,
                                      ContentType(), adjust, used);
  if (name == entry.LocalFileName) return std::nullopt;
  std::string old = entry.LocalFolder + entry.LocalFileName;
  entry.LocalFileName = std::move(name);
  return old;
}

void TFetchCore::OpenBody(TRetriveRec& entry, const std::string& path, bool append) {
  CloseBody();
  const bool reframed = BodyReframed();
  const int64_t kept = append ? entry.ReceivedSize : 0;
  // A body that announces more than the limit is not begun at all.
  if (sizeLimit_ > 0 && !reframed && ContentLength() >= 0 && kept + ContentLength() > sizeLimit_) {
    BodyNotKept(TBodyStop::SizeLimit, {});
    return;
  }
  file_ = std::make_unique<TFileOutStream>(
      path, append ? TFileOutStream::Append : TFileOutStream::Create);
  // The size limit counts what lands in the file: a compressed body is
  // stopped once what it inflates to passes it.
  sink_ = std::make_unique<TBodySink>(*file_, sizeLimit_ > 0 ? sizeLimit_ - kept : -1);
  ReceiveStream = sink_.get();
  if (append) return;
  entry.ReceivedSize = 0;
  entry.ContentSize = !reframed && ContentLength() >= 0 ? ContentLength() : -1;
}

bool TFetchCore::BodyReframed() const {
  return !ParseCodingList(ContentEncoding()).Codings.empty() || !TransferEncoding().empty();
}

void TFetchCore::CloseBody() {
  ReceiveStream = nullptr;
  sink_.reset();
  file_.reset();
}

}  // namespace kestrix
