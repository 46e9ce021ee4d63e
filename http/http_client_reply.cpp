// The reply side of THttpCli: the receive buffer, the header handler with
// the fields it reads, and the body handler for bodies handed over as they
// came.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/ascii.h"
#include "http/http_client.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

constexpr int kLineLimit = 8192;
// A reply may not grow the kept header without bound.
constexpr int kHeaderLineLimit = 1000;

// The text from 1-based position `from`, at most `count` characters; empty
// when out of range, as the header rules count characters that way.
std::string Copy(const std::string& s, std::ptrdiff_t from, std::ptrdiff_t count) {
  if (from < 1) from = 1;
  if (count <= 0 || from > static_cast<std::ptrdiff_t>(s.size())) return {};
  return s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count));
}

std::int64_t ToInteger(const std::string& text) {
  if (auto value = ParseDecimal(text)) return *value;
  throw std::invalid_argument("'" + text + "' is not a valid integer value");
}

}  // namespace

void THttpCli::SocketDataAvailable() {
  if (tunnel_ == TTunnel::Asked) return TunnelReply();
  if (idle_) {
    // Nothing may arrive between replies: a close, or bytes that belong to
    // no request, end the kept connection. A read that brings nothing (a
    // TLS record of the protocol's own) leaves it be.
    char probe[512];
    if (socket_.Receive(probe, sizeof probe) < 0 && socket_.LastError == WSAEWOULDBLOCK) {
      socket_.LastError = 0;
      return;
    }
    return DropIdleConnection();
  }
  int room = kLineLimit - receivedHeld_;
  if (room <= 0) throw EHttpException("HTTP line too long", httperrLineTooLong);
  if (ReadThrottle) {
    const TReadAllowance allowed = ReadThrottle->Allow(static_cast<std::size_t>(room));
    if (allowed.Bytes == 0) return PauseReading(allowed.RetryMs);
    room = static_cast<int>(std::min<std::size_t>(allowed.Bytes, static_cast<std::size_t>(room)));
  }
  int count = socket_.Receive(receiveBuffer_ + receivedHeld_, room);
  if (ReadThrottle && count > 0) ReadThrottle->Consumed(static_cast<std::size_t>(count));
  if (requestType_ == httpAbort || count <= 0) return;
  reused_ = false;  // the server answered: a close from now on is its answer
  receivedHeld_ += count;
  receiveBuffer_[receivedHeld_] = 0;

  if (state_ == httpWaitingBody) {
    int held = receivedHeld_;
    receivedHeld_ = 0;
    DeliverBody(receiveBuffer_, static_cast<std::size_t>(held));
    return;
  }
  std::uint64_t serial = serial_;
  while (receivedHeld_ > 0) {
    auto* lf = static_cast<char*>(std::memchr(receiveBuffer_, '\n', receivedHeld_));
    if (!lf) break;
    int length = static_cast<int>(lf - receiveBuffer_);
    int text = length > 0 && receiveBuffer_[length - 1] == '\r' ? length - 1 : length;
    std::string line(receiveBuffer_, static_cast<std::size_t>(text));
    lineEnd_.assign(receiveBuffer_ + text, static_cast<std::size_t>(length + 1 - text));
    receivedHeld_ -= length + 1;
    std::memmove(receiveBuffer_, lf + 1, static_cast<std::size_t>(receivedHeld_));
    receiveBuffer_[receivedHeld_] = 0;
    if (state_ == httpWaitingHeader || state_ == httpWaitingBody) HandleLine(line);
    // Once the connection is closed nothing more of this reply is read.
    if (serial != serial_ || !connected_) {
      if (serial == serial_) receivedHeld_ = 0;
      break;
    }
  }
}

void THttpCli::HandleLine(const std::string& line) {
  switch (lineHandler_) {
    case TLineHandler::None:
      return PostSetReady();
    case TLineHandler::Header:
      return HeaderLine(line);
    case TLineHandler::Body:
      return BodyPiece(line.data(), line.size());
  }
}

void THttpCli::HeaderLine(const std::string& line) {
  if (headerLineCount_ == 0 && OnHeaderBegin) OnHeaderBegin(*this);
  if (++headerLineCount_ > kHeaderLineLimit) {
    throw EHttpException("HTTP header has too many lines", httperrTooManyLines);
  }
  const std::string upper = AsciiUpperString(std::string_view(line).substr(0, 6));
  if (upper == "<HTML>") {
    // No header at all: the page starts here. The line keeps its line end
    // and the rest of the block follows unchanged, so the body is exact.
    if (contentType_.empty()) contentType_ = "text/html";
    SetState(httpWaitingBody);
    lineHandler_ = TLineHandler::Body;
    framing_ = TBodyFraming::Close;
    bodySerial_ = serial_;
    if (ownFraming_ && !BuildPipeline({})) return;
    if (OnHeaderEnd) OnHeaderEnd(*this);
    if (state_ != httpWaitingBody) return;
    std::string piece = line + lineEnd_;
    piece.append(receiveBuffer_, static_cast<std::size_t>(receivedHeld_));
    receivedHeld_ = 0;
    DeliverBody(piece.data(), piece.size());
    return;
  }
  if (exchangeOpen_) {
    Tap->ReplyData(line.data(), line.size());
    Tap->ReplyData(lineEnd_.data(), lineEnd_.size());
  }
  if (line.empty()) return EndOfHeader();

  receivedHeader_.push_back(line);
  if (line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0) {
    replyHttp11_ = line[7] == '1';
    statusCode_ = static_cast<int>(ToInteger(Copy(line, 10, 3)));
    reasonPhrase_ = Copy(line, 14, static_cast<std::ptrdiff_t>(line.size()));
  } else if (line.find(':') != std::string::npos) {
    HeaderField(line);
  }
  if (OnHeaderData) OnHeaderData(*this);
  // Reading the framing itself, the client reads the whole header first.
  if (ownFraming_) return;
  if (!refusedLocation_.empty() && connected_) {
    reasonPhrase_ = "Relocation not followed: " + refusedLocation_;
    CloseConnection();
  } else if (statusCode_ >= 400 && connected_) {
    CloseConnection();  // the body of an error reply is never read
  }
}

void THttpCli::HeaderField(const std::string& line) {
  std::size_t colon = line.find(':');
  std::string name = AsciiLower(line.substr(0, colon));
  std::size_t start = line.find_first_not_of(' ', colon + 1);
  std::string value = start == std::string::npos ? std::string() : line.substr(start);
  if (name == "location" && ownFraming_) {
    pendingLocation_ = value;
  } else if (name == "content-length" && ownFraming_) {
    // Judged with the whole header: a bad value fails the request cleanly.
    contentLengths_.push_back(value);
    if (auto length = ParseDecimal(value); length && *length >= 0) contentLength_ = *length;
  } else if (name == "location") {
    if (IsFollowableLocation(value)) {
      locationSeen_ = true;
      Relocate(target_, value, !Proxy.empty());
    } else {
      // Only http:// and https:// are followed; the owner is told why the request ended.
      refusedLocation_ = value.substr(0, 200);
    }
  } else if (name == "content-length") {
    contentLength_ = ToInteger(value);
  } else if (name == "content-range") {
    auto dash = static_cast<std::ptrdiff_t>(value.find('-') + 1);  // 0 when absent
    auto slash = static_cast<std::ptrdiff_t>(value.find('/') + 1);
    ContentRangeBegin = Copy(value, 7, dash - 7);
    ContentRangeEnd = Copy(value, dash + 1, slash - dash - 1);
  } else if (name == "accept-ranges") {
    acceptRanges_ = value;
  } else if (name == "content-type") {
    contentType_ = AsciiLower(value);
  } else if (name == "www-authenticate") {
    authenticateHeaders_.push_back(value);
  } else if (name == "connection") {
    const std::string tokens = AsciiLower(value);
    replyKeepAlive_ = tokens.find("keep-alive") != std::string::npos;
    replyClose_ = tokens.find("close") != std::string::npos;
  } else if (name == "transfer-encoding") {
    replyFramed_ = true;  // its end is not the length's: read to the close
    transferEncoding_ += (transferEncoding_.empty() ? "" : ", ") + AsciiLower(value);
  } else if (name == "set-cookie") {
    bool accept = true;
    if (OnCookie) OnCookie(*this, value, accept);
  } else {
    ReplyField(name, value);
  }
}

void THttpCli::ReplyField(const std::string& name, const std::string& value) {
  if (name == "content-encoding") {
    contentEncoding_ += (contentEncoding_.empty() ? "" : ", ") + AsciiLower(value);
  } else if (name == "last-modified") {
    lastModified_ = HttpDateValue(value).value_or(0);
  } else if (name == "etag") {
    etag_ = value;
  } else if (name == "retry-after") {
    retryAfter_ = value;
  } else if (name == "date") {
    replyDate_ = HttpDateValue(value).value_or(0);
  }
}

std::string THttpCli::TargetUrl() const {
  if (!Proxy.empty()) return target_.RequestPath;  // already absolute, with its port
  const std::string& port = target_.Port;
  const bool shown = !port.empty() && port != DefaultPortOf(target_.Scheme);
  return target_.Scheme + "://" + target_.TargetHost + (shown ? ":" + port : "") +
         target_.RequestPath;
}

std::int64_t THttpCli::RetryAfter() const {
  if (retryAfter_.empty()) return -1;
  return RetryAfterSeconds(retryAfter_, replyDate_ > 0 ? replyDate_ : DateTimeNow()).value_or(-1);
}

void THttpCli::EndOfHeader() {
  if (ownFraming_) return EndOfFramedHeader();
  if (locationSeen_) return StartRelocation();
  std::string ext = AsciiLower(docName_.substr(
      docName_.rfind('.') == std::string::npos ? docName_.size() : docName_.rfind('.')));
  if (ext == ".exe" && contentType_ == "text/html") {
    std::size_t dot = docName_.rfind('.');
    docName_ = (dot == std::string::npos ? docName_ + "." : docName_.substr(0, dot + 1)) + "htm";
  }
  bodyEnd_ = KeptBodyEnd();
  bodySerial_ = serial_;
  SetState(httpWaitingBody);
  lineHandler_ = TLineHandler::Body;
  if (OnHeaderEnd) OnHeaderEnd(*this);
  if (state_ != httpWaitingBody) return;
  if (bodyEnd_ == 0 && connected_) return FinishKeptReply(receivedHeld_ == 0);
  if (receivedHeld_ > 0) {
    int held = receivedHeld_;
    receivedHeld_ = 0;
    DeliverBody(receiveBuffer_, static_cast<std::size_t>(held));
  }
}

void THttpCli::StartRelocation() {
  if (OnHeaderEnd) OnHeaderEnd(*this);
  receivedHeld_ = 0;
  headerLineCount_ = bodyLineCount_ = 0;
  relocating_ = true;
  CloseConnection();
}

// Where the body ends when the connection may stay open after it: known
// only from the reply's length, or from a reply that has no body.
std::int64_t THttpCli::KeptBodyEnd() const {
  if (!MayKeepConnection() || replyFramed_ || replyClose_) return -1;
  if (!replyKeepAlive_ && !replyHttp11_) return -1;
  if (requestType_ == httpHEAD || statusCode_ == 304 || statusCode_ == 204) return 0;
  return contentLength_;
}

void THttpCli::DeliverBody(const char* data, std::size_t size) {
  if (ownFraming_) return DeliverFramed(data, size);
  if (bodyEnd_ < 0) return RawBodyPiece(data, size);
  const auto left = static_cast<std::size_t>(std::max<std::int64_t>(bodyEnd_ - receivedCount_, 0));
  const std::uint64_t serial = serial_;
  if (std::min(size, left) > 0) RawBodyPiece(data, std::min(size, left));
  if (serial != serial_ || state_ != httpWaitingBody || !connected_) return;
  // Bytes beyond the announced length belong to no request: the
  // connection cannot be trusted for the next one.
  if (receivedCount_ >= bodyEnd_) FinishKeptReply(size <= left);
}

// A piece of a body handed over as it came.
void THttpCli::RawBodyPiece(const char* data, std::size_t size) {
  receivedCount_ += static_cast<std::int64_t>(size);
  if (exchangeOpen_) Tap->ReplyData(data, size);
  BodyPiece(data, size);
}

void THttpCli::BodyPiece(const char* data, std::size_t size) {
  if (bodyLineCount_ == 0 && OnDocBegin) OnDocBegin(*this);
  ++bodyLineCount_;
  decodedCount_ += static_cast<std::int64_t>(size);
  if (ReceiveStream) ReceiveStream->Write(data, size);
  if (OnDocData) OnDocData(*this, data, static_cast<int>(size));
}

}  // namespace kestrix
