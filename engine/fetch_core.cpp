#include "engine/fetch_core.h"

#include <chrono>
#include <exception>

#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/cookie_jar.h"
#include "engine/fetch_limits.h"
#include "engine/request_options.h"
#include "http/content_decoder.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

// The client's error for a request ended by Abort.
constexpr int kAbortedByRequest = 3;

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
    BodyData(data, length);
  };
  OnRequestDone = [this](auto&, auto, auto error) {
    idleTimer_.stop();
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
      code = timedOut_ ? WSAETIMEDOUT : relocationLoop_ ? kRelocationLoopError : WSAECONNABORTED;
    }
    RequestDone(code);
  };
  // Any sign of life from the connection postpones the time-out.
  OnStateChange = [this](auto&&...) { NoteActivity(); };
  OnHeaderData = [this](auto&&...) { NoteActivity(); };
  idleTimer_.setSingleShot(true);
  QObject::connect(&idleTimer_, &QTimer::timeout, [this] { TimedOut(); });
}

TFetchCore::~TFetchCore() {
  Detach();
}

void TFetchCore::Detach() {
  idleTimer_.stop();
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
  timedOut_ = false;
  relocationLoop_ = false;
  relocations_ = 0;
}

std::optional<std::string> TFetchCore::StartRequest(const TRetriveRec& entry) {
  ++requestSerial_;
  requestRunning_ = true;
  NoteActivity();
  SendCookiesFor(URL);
  try {
    StartEntryRequest(*this, entry, post_);
  } catch (const std::exception& failure) {
    idleTimer_.stop();
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
  timedOut_ = true;
  Abort();
}

std::string TFetchCore::FollowRelocation() {
  if (++relocations_ > kMaxRelocations) {
    relocationLoop_ = true;
    // The client restarts the request once this event returns; the abort
    // must come after that restart, not before it.
    const int serial = requestSerial_;
    QTimer::singleShot(0, &idleTimer_, [this, serial] {
      if (requestSerial_ == serial && requestRunning_ && State() != httpReady &&
          State() != httpAborting)
        Abort();
    });
  }
  return TargetUrl();
}

void TFetchCore::OpenBody(TRetriveRec& entry, const std::string& path, bool append) {
  CloseBody();
  if (append) {
    file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Append);
  } else {
    file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Create);
    entry.ReceivedSize = 0;
    entry.ContentSize = !BodyReframed() && ContentLength() >= 0 ? ContentLength() : -1;
  }
  ReceiveStream = file_.get();
}

bool TFetchCore::BodyReframed() const {
  return !ParseCodingList(ContentEncoding()).Codings.empty() || !TransferEncoding().empty();
}

void TFetchCore::CloseBody() {
  ReceiveStream = nullptr;
  file_.reset();
}

}  // namespace kestrix
