// The body side of THttpCli when it reads the framing itself (HTTP/1.1,
// decoding, compression): where each reply ends, the chunked coding and the
// content codings taken off on the way, and the failures that brings; and
// what the tap and the read throttle see of every exchange.
#include <algorithm>

#include "http/chunked_decoder.h"
#include "http/content_decoder.h"
#include "http/http_client.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

// An error reply's body is read past, so that the connection serves the
// next request, only when it is short; a longer one costs more than a
// new connection.
constexpr std::int64_t kDiscardLimit = 65536;

class TDiscardStream : public TOutStream {
 public:
  void Write(const char*, std::size_t) override {}
};

}  // namespace

// Decoded pieces reach the owner through the client's own events.
struct THttpCli::TDocSink : TOutStream {
  explicit TDocSink(THttpCli& client) : Client(client) {}
  void Write(const char* data, std::size_t size) override {
    // A handler of an earlier piece may have ended the request.
    if (Client.state_ != httpWaitingBody || Client.serial_ != Client.bodySerial_) return;
    Client.BodyPiece(data, size);
  }
  THttpCli& Client;
};

// The decoders of one reply body, from the wire to the owner.
struct THttpCli::TBodyPipeline {
  explicit TBodyPipeline(THttpCli& client) : Sink(client) {}
  TDocSink Sink;
  TDiscardStream Discard;
  std::unique_ptr<TChunkedDecoder> Chunked;
  TStringOutStream ChunkPayload;  // the payload of one read, at most a read's size
  // Wire side first; each writes to the next, the last to Sink.
  std::vector<std::unique_ptr<TContentDecoder>> Decoders;
  TOutStream* In = nullptr;
};

void THttpCli::ResetReplyFields() {
  replyHttp11_ = replyKeepAlive_ = replyClose_ = replyFramed_ = false;
  bodyEnd_ = -1;
  contentEncoding_.clear();
  transferEncoding_.clear();
  etag_.clear();
  retryAfter_.clear();
  lastModified_ = replyDate_ = 0;
  contentLengths_.clear();
  pendingLocation_.clear();
  framing_ = TBodyFraming::Close;
  keep_ = discarding_ = bodyComplete_ = false;
  if (ownFraming_) contentLength_ = -1;
}

void THttpCli::EndOfFramedHeader() {
  // An interim reply ("100 Continue", "103 Early Hints"): the real one
  // follows on the same connection.
  if (statusCode_ >= 100 && statusCode_ < 200 && statusCode_ != 101) {
    ResetReplyFields();
    headerLineCount_ = 0;
    return;
  }
  // An error reply's Location leads nowhere: the request ends with the error.
  if (!pendingLocation_.empty() && statusCode_ < 400) {
    if (!IsFollowableLocation(pendingLocation_)) {
      reasonPhrase_ = "Relocation not followed: " + pendingLocation_.substr(0, 200);
      EndExchange(TExchangeEnd::CutOther, reasonPhrase_);
      return CloseConnection();
    }
    locationSeen_ = true;
    Relocate(target_, pendingLocation_, !Proxy.empty());
    return StartRelocation();
  }
  const TReplyFraming framing =
      FramingOf(statusCode_, requestType_ == httpHEAD, contentLengths_, transferEncoding_);
  if (!framing.Error.empty()) return FailReply(kErrUnframedReply, framing.Error);
  framing_ = framing.Kind;
  bodyEnd_ = framing.Kind == TBodyFraming::Length ? framing.Length : -1;
  if (bodyEnd_ >= 0) contentLength_ = bodyEnd_;
  keep_ = MayKeepConnection() && !replyClose_ && (replyHttp11_ || replyKeepAlive_) &&
          framing.Kind != TBodyFraming::Close;
  discarding_ = statusCode_ >= 400;
  if (discarding_ && (framing_ == TBodyFraming::Close || !keep_ || bodyEnd_ > kDiscardLimit)) {
    EndExchange(TExchangeEnd::CutOther, "the body of an error reply is not read");
    return CloseConnection();
  }
  if (!BuildPipeline(framing)) return;
  bodySerial_ = serial_;
  SetState(httpWaitingBody);
  lineHandler_ = TLineHandler::Body;
  if (!discarding_ && OnHeaderEnd) OnHeaderEnd(*this);
  if (serial_ != bodySerial_ || state_ != httpWaitingBody) return;
  if (framing_ == TBodyFraming::None) return FinishFramedReply(receivedHeld_ == 0);
  if (receivedHeld_ > 0) {
    const int held = receivedHeld_;
    receivedHeld_ = 0;
    DeliverFramed(receiveBuffer_, static_cast<std::size_t>(held));
  }
}

bool THttpCli::BuildPipeline(const TReplyFraming& framing) {
  auto pipeline = std::make_shared<TBodyPipeline>(*this);
  if (framing.Kind == TBodyFraming::Chunked)
    pipeline->Chunked = std::make_unique<TChunkedDecoder>();
  // Undone in the reverse order of their application: content codings
  // last applied, transfer codings first undone.
  std::vector<TContentCoding> undo(framing.TransferCodings.rbegin(),
                                   framing.TransferCodings.rend());
  if (decodeContent_ && !discarding_ && framing.Kind != TBodyFraming::None) {
    const TCodingList content = ParseCodingList(contentEncoding_);
    if (!content.Unknown.empty()) {
      FailReply(kErrUndecodableBody, "unsupported Content-Encoding: " + content.Unknown);
      return false;
    }
    if (!content.Codings.empty() && statusCode_ == 206) {
      FailReply(kErrUndecodableBody, "a part of a compressed body cannot be decoded");
      return false;
    }
    undo.insert(undo.end(), content.Codings.rbegin(), content.Codings.rend());
  }
  TOutStream* next = &pipeline->Sink;
  pipeline->Decoders.resize(undo.size());
  for (std::size_t i = undo.size(); i-- > 0;) {
    pipeline->Decoders[i] = std::make_unique<TContentDecoder>(*next, undo[i]);
    next = pipeline->Decoders[i].get();
  }
  pipeline->In = discarding_ ? &pipeline->Discard : next;
  pipeline_ = std::move(pipeline);
  return true;
}

void THttpCli::DeliverFramed(const char* data, std::size_t size) {
  const std::shared_ptr<TBodyPipeline> pipeline = pipeline_;  // alive while it writes
  const std::uint64_t serial = serial_;
  std::size_t used = size;
  if (framing_ == TBodyFraming::Length) {
    used = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(size), std::max<std::int64_t>(bodyEnd_ - receivedCount_, 0)));
  } else if (pipeline->Chunked) {
    pipeline->ChunkPayload.Data.clear();
    used = pipeline->Chunked->Feed(data, size, pipeline->ChunkPayload);
  }
  if (exchangeOpen_ && used > 0) Tap->ReplyData(data, used);
  receivedCount_ += static_cast<std::int64_t>(used);
  if (pipeline->Chunked && !pipeline->Chunked->Error().empty()) {
    return FailReply(kErrUnframedReply, pipeline->Chunked->Error());
  }
  const std::string& payload = pipeline->ChunkPayload.Data;
  if (pipeline->Chunked && !payload.empty()) {
    pipeline->In->Write(payload.data(), payload.size());
  } else if (!pipeline->Chunked && used > 0) {
    pipeline->In->Write(data, used);
  }
  if (serial != serial_ || state_ != httpWaitingBody) return;
  for (const auto& decoder : pipeline->Decoders) {
    if (!decoder->Error().empty()) return FailReply(kErrUndecodableBody, decoder->Error());
  }
  if (discarding_ && receivedCount_ > kDiscardLimit) {
    EndExchange(TExchangeEnd::CutOther, "the body of an error reply is not read");
    return CloseConnection();
  }
  const bool ended = framing_ == TBodyFraming::Length ? receivedCount_ >= bodyEnd_
                     : pipeline->Chunked              ? pipeline->Chunked->Done()
                                                      : false;
  if (ended) FinishFramedReply(used == size);
}

// Whether every compressed stream reached its own end; else the code and
// reason the request fails with.
bool THttpCli::FinishDecoders(int& code, std::string& why) {
  if (!pipeline_ || discarding_) return true;
  for (const auto& decoder : pipeline_->Decoders) {
    const bool corrupt = !decoder->Error().empty();
    why = decoder->Finish();
    if (!why.empty()) {
      code = corrupt ? kErrUndecodableBody : kErrShortBody;
      return false;
    }
  }
  return true;
}

void THttpCli::FinishFramedReply(bool nothingBeyond) {
  int code = 0;
  std::string why;
  // The framing says the body is whole: a compressed stream that has not
  // ended is then a damaged one, not a short one.
  if (!FinishDecoders(code, why)) return FailReply(kErrUndecodableBody, why);
  bodyComplete_ = true;
  EndExchange(TExchangeEnd::Complete, "");
  FinishKeptReply(keep_ && nothingBeyond);
}

// The server closed the connection before the framing reached its end
// (only the close ends a body of unknown length).
void THttpCli::JudgeClosedBody(int error) {
  if (discarding_) return;
  int code = kErrShortBody;
  std::string why;
  if (framing_ == TBodyFraming::Length) {
    why = std::to_string(receivedCount_) + " of " + std::to_string(bodyEnd_) + " bytes";
  } else if (framing_ == TBodyFraming::Chunked && !pipeline_->Chunked->LastChunkSeen()) {
    why = "the chunked body ended before its last chunk";
  } else if (error != 0 || socket_.LastError != 0) {
    return;  // a reset, or a TLS stream cut short: the socket's error tells
  } else if (FinishDecoders(code, why)) {
    bodyComplete_ = true;  // the close was the end
    return;
  }
  requestDoneError_ = code;
  reasonPhrase_ = WSocketErrorText(code) + ": " + why;
}

void THttpCli::FailReply(int code, const std::string& why) {
  requestDoneError_ = code;
  reasonPhrase_ = WSocketErrorText(code) + ": " + why;
  EndExchange(TExchangeEnd::CutOther, reasonPhrase_);
  lineHandler_ = TLineHandler::None;
  if (connected_) return CloseConnection();  // its close ends the request
  NormalSessionClosed();
}

void THttpCli::BeginExchange() {
  EndExchange(TExchangeEnd::CutOther, "a new request began");
  exchangeOpen_ = true;
  Tap->ExchangeBegin(TargetUrl(), socket_.PeerAddr());
}

void THttpCli::EndExchange(TExchangeEnd end, const std::string& why) {
  if (!exchangeOpen_) return;
  exchangeOpen_ = false;
  if (Tap) Tap->ExchangeEnd(end, why);
}

// How the exchange ended, told from the state the close found it in: a
// connection that failed or closed early, or the client's own choice (an
// abort, a reply it could not use, a body it does not read).
void THttpCli::EndExchangeAtClose() {
  constexpr TExchangeEnd kDisconnect = TExchangeEnd::CutDisconnect;
  if (requestDoneError_ != 0) {
    const bool ours = requestDoneError_ == kRequestAborted ||
                      requestDoneError_ == kErrUnframedReply ||
                      requestDoneError_ == kErrUndecodableBody;
    return EndExchange(ours ? TExchangeEnd::CutOther : kDisconnect, reasonPhrase_);
  }
  if (socket_.LastError != 0) return EndExchange(kDisconnect, WSocketErrorText(socket_.LastError));
  if (state_ != httpWaitingBody) {
    if (statusCode_ >= 400) {
      return EndExchange(TExchangeEnd::CutOther, "the body of an error reply is not read");
    }
    return EndExchange(kDisconnect, "the connection closed before the header ended");
  }
  const bool bodyless =
      requestType_ == httpHEAD || statusCode_ == 304 || statusCode_ == 204 || contentLength_ < 0;
  const bool whole = ownFraming_ ? bodyComplete_ : bodyless || receivedCount_ >= contentLength_;
  if (whole) return EndExchange(TExchangeEnd::Complete, "");
  EndExchange(kDisconnect, "the connection closed before the body ended");
}

// Nothing may be read now: the connection is left unwatched, so its bytes
// wait in the system and the server is slowed by the connection itself.
void THttpCli::PauseReading(int ms) {
  socket_.PauseReading();
  deferred_.PostAfter(std::max(ms, 1), [this] { socket_.ResumeReading(); });
}

}  // namespace kestrix
