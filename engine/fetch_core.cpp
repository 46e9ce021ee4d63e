#include "engine/fetch_core.h"

#include <chrono>
#include <exception>

#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "engine/fetch_limits.h"
#include "engine/reply_header.h"
#include "engine/request_options.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

// The client's error for a request ended by Abort.
constexpr int kAbortedByRequest = 3;
// Longer values are cut for the state shown: they come from the server.
constexpr size_t kCodingNameMax = 100;

}  // namespace

TFetchCore::TFetchCore() {
  ReceiveStream = nullptr;
  ModifiedSince = 0;
  OnLocationChange = [this](auto&&...) {
    NoteActivity();
    Relocated();
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
  SendStream = nullptr;
  CloseBody();
}

void TFetchCore::PrepareRequest(const TRetriveRec& entry, const TGlobalOptions& options) {
  options_ = &options;
  ApplyRequestOptions(*this, options);
  URL = entry.Job.editUrl;
  ModifiedSince = 0;
  // The client keeps the range of the last reply's Content-Range; left
  // there, it would ask the next document for that part only.
  ContentRangeBegin.clear();
  ContentRangeEnd.clear();
  codingName_.clear();
  timedOut_ = false;
  relocationLoop_ = false;
  relocations_ = 0;
}

std::optional<std::string> TFetchCore::StartRequest(const TRetriveRec& entry) {
  ++requestSerial_;
  requestRunning_ = true;
  NoteActivity();
  try {
    StartEntryRequest(*this, entry, post_);
  } catch (const std::exception& failure) {
    idleTimer_.stop();
    requestRunning_ = false;
    return failure.what();
  }
  return std::nullopt;
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

std::string TFetchCore::FollowRelocation(const std::string& fromUrl) {
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
  return RelocationTarget(ReceivedHeader(), Location(), fromUrl);
}

TFetchOutcome TFetchCore::OpenBody(TRetriveRec& entry, const std::string& path, bool append) {
  CloseBody();
  const std::vector<std::string>& header = ReceivedHeader();
  const std::string coding = HeaderValue(header, "content-encoding");
  const std::string transfer = HeaderValue(header, "transfer-encoding");
  const bool chunked = IsChunkedTransfer(transfer);
  const TContentCoding kind = ContentCodingOf(coding);
  if (!chunked && ContentCodingOf(transfer) != TContentCoding::Identity) {
    codingName_ = transfer.substr(0, kCodingNameMax);
    return TFetchOutcome::UnknownTransferCoding;
  }
  if (kind == TContentCoding::Unsupported) {
    codingName_ = coding.substr(0, kCodingNameMax);
    return TFetchOutcome::UnknownContentCoding;
  }
  const bool coded = chunked || kind != TContentCoding::Identity;
  if (append && !coded) {
    file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Append);
    ReceiveStream = file_.get();
    return TFetchOutcome::Reply;
  }
  file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Create);
  entry.ReceivedSize = 0;
  // The length of a coded body says nothing about the document's size,
  // which is known only once it has been decoded whole.
  entry.ContentSize = !coded && ContentLength() >= 0 ? ContentLength() : -1;
  if (coded) {
    decoder_ = std::make_unique<TBodyDecoder>(*file_, chunked, kind);
    ReceiveStream = decoder_.get();
  } else {
    ReceiveStream = file_.get();
  }
  return TFetchOutcome::Reply;
}

std::string TFetchCore::FinishDecoding(bool& soundSoFar) {
  soundSoFar = true;
  if (!decoder_) return {};
  soundSoFar = decoder_->Error().empty();
  return decoder_->Finish();
}

void TFetchCore::CloseBody() {
  ReceiveStream = nullptr;
  decoder_.reset();
  file_.reset();
}

}  // namespace kestrix
