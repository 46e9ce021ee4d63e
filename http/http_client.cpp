#include "http/http_client.h"

#include <cctype>

#include "core/ascii.h"
#include "core/url_split.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

constexpr const char* kReasonResolve = "can't resolve hostname to IP address";
constexpr const char* kReasonBadHost =
    "invalid host name (empty, or holding blanks or control "
    "characters)";

std::string ErrorReason(int code) {
  return WSocketErrorText(code) + " (Error #" + std::to_string(code) + ")";
}

}  // namespace

THttpCli::THttpCli() {
  socket_.OnDnsLookupDone = [this](TCustomWSocket&, std::uint16_t e) { SocketDnsLookupDone(e); };
  socket_.OnSessionConnected = [this](TCustomWSocket&, std::uint16_t e) {
    SocketSessionConnected(e);
  };
  socket_.OnSessionClosed = [this](TCustomWSocket&, std::uint16_t e) { SocketSessionClosed(e); };
  socket_.OnDataAvailable = [this](TCustomWSocket&, std::uint16_t) { SocketDataAvailable(); };
  socket_.OnDataSent = [this](TCustomWSocket&, std::uint16_t) { SocketDataSent(); };
}

THttpCli::~THttpCli() {
  EndExchange(TExchangeEnd::CutOther, "the client was destroyed");
  // The socket is destroyed silently; drop its events before our members go.
  socket_.OnDnsLookupDone = nullptr;
  socket_.OnSessionConnected = nullptr;
  socket_.OnSessionClosed = nullptr;
  socket_.OnDataAvailable = nullptr;
  socket_.OnDataSent = nullptr;
}

void THttpCli::GetAsync() {
  DoRequestAsync(httpGET);
}

void THttpCli::PostAsync() {
  DoRequestAsync(httpPOST);
}

void THttpCli::HeadAsync() {
  DoRequestAsync(httpHEAD);
}

void THttpCli::SetState(THttpState state) {
  if (state == state_) return;
  state_ = state;
  if (OnStateChange) OnStateChange(*this);
  if (state_ == httpReady) {
    THttpRequest rq = requestType_;
    auto error = static_cast<std::uint16_t>(requestDoneError_);
    deferred_.Post([this, rq, error] {
      if (OnRequestDone) OnRequestDone(*this, rq, error);
    });
  }
}

void THttpCli::PostSetReady() {
  std::uint64_t serial = serial_;
  deferred_.Post([this, serial] {
    if (serial == serial_) SetState(httpReady);
  });
}

void THttpCli::DoRequestAsync(THttpRequest rq) {
  if (state_ != httpReady) throw EHttpException("HTTP component is busy", httperrBusy);
  if (rq == httpPOST && !SendStream) {
    throw EHttpException("HTTP component has nothing to post", httperrNoData);
  }
  ++serial_;
  receivedHeader_.clear();
  requestType_ = rq;
  requestDoneError_ = 0;
  relocating_ = false;
  reused_ = false;
  SetState(httpNotConnected);
  docName_.clear();
  statusCode_ = 0;
  reasonPhrase_.clear();  // never show the reason of an earlier reply
  receivedCount_ = sentCount_ = 0;
  headerLineCount_ = bodyLineCount_ = 0;
  receivedHeld_ = 0;
  contentLength_ = -1;
  contentType_.clear();
  ownFraming_ = DecodeBody || AcceptCompression || HttpVersion == http11;
  decodeContent_ = DecodeBody || AcceptCompression;
  decodedCount_ = 0;
  ResetReplyFields();
  allowedToSend_ = false;
  locationSeen_ = false;
  refusedLocation_.clear();
  target_.Location = URL;
  tunnel_ = TTunnel::None;

  TUrlParts url = SplitUrl(URL);
  target_.TargetHost = url.Host;
  requestHost_ = url.Host;
  if (!url.User.empty()) {
    Username = url.User;
    urlCredUser_ = url.User;
    urlCredHost_ = url.Host;
  }
  if (!url.Pass.empty()) Password = url.Pass;
  target_.Scheme = url.Proto.empty() ? "http" : url.Proto;
  AsciiLowerInPlace(target_.Scheme);
  if (Proxy.empty()) {
    target_.RequestPath = url.Path;
    target_.HostName = url.Host;
    target_.Port = url.Port.empty() ? DefaultPortOf(target_.Scheme) : url.Port;
  } else {
    target_.RequestPath = (url.Proto.empty() ? "http" : url.Proto) + "://" + url.Host +
                          (url.Port.empty() ? "" : ":" + url.Port) + url.Path;
    TUrlParts proxy = SplitUrl(Proxy);
    target_.HostName = proxy.Host;
    target_.Port = proxy.Port.empty() ? ProxyPort : proxy.Port;
  }
  if (target_.RequestPath.empty()) target_.RequestPath = "/";

  std::string source = url.Path;
  if (source.empty() || source == "/") {
    docName_ = "document.htm";
  } else {
    if (source.back() == '/') source.pop_back();
    std::size_t slash = LastPosOf("/", source);  // 1-based, 0 when absent
    docName_ = source.substr(slash, 255);
  }
  if (CanReuseIdleConnection()) return StartOnIdleConnection();
  DropIdleConnection();
  DnsLookup();
}

void THttpCli::FailRequest(int error, const std::string& reason) {
  requestDoneError_ = error;
  statusCode_ = 404;
  reasonPhrase_ = reason;
  NormalSessionClosed();
}

void THttpCli::DnsLookup() {
  dnsResult_.clear();
  SetState(httpDnsLookup);
  // Nothing from a page may reach the "Host:" header or the name service
  // with line breaks or blanks in it; an empty name would leave the client
  // stuck, so both fail the request like a name that does not resolve.
  if (target_.HostName.empty() || !IsSafeHostName(target_.HostName) ||
      !IsSafeHostName(target_.TargetHost)) {
    return FailRequest(WSAHOST_NOT_FOUND, kReasonBadHost);
  }
  socket_.DnsLookup(target_.HostName);
}

void THttpCli::SocketDnsLookupDone(int error) {
  if (state_ != httpDnsLookup) return;  // aborted, or an answer for an older request
  if (error) return FailRequest(error, kReasonResolve);
  dnsResult_ = socket_.DnsResult();
  SetState(httpDnsLookupDone);
  try {
    socket_.SetAddr(dnsResult_);
    socket_.SetPort(target_.Port);
    socket_.SetProto("tcp");
    if (!PrepareTls()) return;
    socket_.Connect();
  } catch (const std::exception&) {
    // A bad port in a URL is no socket failure, but must not read as success.
    if (socket_.LastError == 0) socket_.LastError = WSAEINVAL;
    int code = socket_.LastError;
    std::uint64_t serial = serial_;
    socket_.Close();
    if (serial == serial_ && state_ == httpDnsLookupDone) {
      FailRequest(code, "can't connect: " + ErrorReason(code));
    }
  }
}

bool THttpCli::PrepareTls() {
  tunnel_ = TTunnel::None;
  socket_.SetTls(nullptr, {});
  if (target_.Scheme != "https") return true;
  if (!EnsureTlsContext()) return false;
  // Through a proxy the connection first goes to the proxy in the clear;
  // TLS to the origin starts once the proxy has opened the tunnel.
  if (!Proxy.empty()) {
    tunnel_ = TTunnel::Asked;
  } else {
    socket_.SetTls(TlsContext, target_.TargetHost);
  }
  return true;
}

bool THttpCli::EnsureTlsContext() {
  // Settings changed between requests take effect; the kept sessions go.
  if (TlsContext && !(TlsContext->Settings() == TlsSettings)) TlsContext.reset();
  if (TlsContext) return true;
  try {
    TlsContext = std::make_shared<TTlsContext>(TlsSettings);
  } catch (const std::exception& e) {
    FailRequest(kErrTlsHandshake, e.what());
    return false;
  }
  return true;
}

void THttpCli::SocketSessionConnected(int error) {
  // A failed connect or handshake ends the request here; the close that
  // follows must not read as a proxy that hung up on the tunnel request.
  if (error) tunnel_ = TTunnel::None;
  if (IsTlsError(error) && !socket_.TlsError().empty()) {
    return FailRequest(error, socket_.TlsError());
  }
  if (error) return FailRequest(error, ErrorReason(error));
  if (tunnel_ == TTunnel::Asked) return AskForTunnel();
  tunnel_ = TTunnel::None;
  connected_ = true;
  SetState(httpConnected);
  if (OnSessionConnected) OnSessionConnected(*this);
  lineHandler_ = TLineHandler::Header;
  ResetReplyFields();
  SetState(httpWaitingHeader);
  static const char* const kMethods[] = {"", "GET", "POST", "HEAD"};
  try {
    SendRequest(kMethods[requestType_], HttpVersion == http11 ? "1.1" : "1.0");
    if (requestType_ == httpPOST) {
      if (OnSendBegin) OnSendBegin(*this);
      allowedToSend_ = true;
      SendNextPiece();
    }
  } catch (const std::exception&) {
    // The close that follows finishes the request.
    CloseConnection();
  }
}

bool THttpCli::AuthorizationAllowed() const {
  if (Username.empty()) return false;
  // Credentials taken from a URL belong to that URL's host; those set by the
  // owner to the host the request was started for. A relocation to another
  // host never carries them along.
  const std::string& host =
      !urlCredUser_.empty() && Username == urlCredUser_ ? urlCredHost_ : requestHost_;
  return EqualsNoCase(host, target_.TargetHost);
}

void THttpCli::SendRequest(const char* method, const char* version) {
  requestText_.clear();
  if (OnRequestHeaderBegin) OnRequestHeaderBegin(*this);
  // Inside a tunnel the origin itself reads the request: it gets the path.
  const std::string requestTarget =
      Proxy.empty() || target_.Scheme != "https" ? target_.RequestPath : OriginPath();
  SendCommand(std::string(method) + " " + EncodeRequestTarget(requestTarget) + " HTTP/" + version);
  bool post = requestType_ == httpPOST;
  if (!Sender.empty()) SendCommand("From: " + Sender);
  if (!Accept.empty()) SendCommand("Accept: " + Accept);
  if (AcceptCompression && ContentRangeBegin.empty() && ContentRangeEnd.empty()) {
    SendCommand("Accept-Encoding: gzip, deflate, br");
  }
  if (!Reference.empty()) SendCommand("Referer: " + Reference);
  if (post && !ContentTypePost.empty() && IsSafeHeaderValue(ContentTypePost)) {
    SendCommand("Content-Type: " + ContentTypePost);
  }
  if (!Agent.empty()) SendCommand("User-Agent: " + Agent);
  SendCommand("Host: " + HostHeaderValue());
  if (HttpVersion == http11) {
    if (!MayKeepConnection()) SendCommand("Connection: close");
  } else if (MayKeepConnection()) {
    SendCommand("Connection: keep-alive");
  }
  if (NoCache) SendCommand("Pragma: no-cache");
  if (post) SendCommand("Content-Length: " + std::to_string(SendStream->Size()));
  // A value that could end the header line early is not sent at all.
  if (!IfNoneMatch.empty() && IsSafeHeaderValue(IfNoneMatch)) {
    SendCommand("If-None-Match: " + IfNoneMatch);
  }
  if (ModifiedSince != 0) {
    SendCommand("If-Modified-Since: " + FormatHttpDate(ModifiedSince) + " GMT");
  }
  if (AuthorizationAllowed()) {
    SendCommand("Authorization: Basic " + EncodeBase64(Username + ":" + Password));
  }
  // The proxy's credentials are for the proxy: never into a tunnel.
  if (!Proxy.empty() && !ProxyUsername.empty() && target_.Scheme != "https") {
    SendCommand("Proxy-Authorization: Basic " + EncodeBase64(ProxyUsername + ":" + ProxyPassword));
  }
  if (!Cookie.empty()) SendCommand("Cookie: " + Cookie);
  sentRangeBegin_ = ContentRangeBegin;
  sentRangeEnd_ = ContentRangeEnd;
  if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
    SendCommand("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
  }
  acceptRanges_.clear();
  if (OnRequestHeaderEnd) OnRequestHeaderEnd(*this);
  SendCommand("");
  std::string text;
  text.swap(requestText_);
  if (Tap) {
    BeginExchange();
    Tap->RequestData(text.data(), text.size());
  }
  socket_.Send(text.data(), static_cast<int>(text.size()));
}

// The host with its port when that is not the default: a server that
// builds absolute relocations from this header would otherwise send the
// client to port 80.
std::string THttpCli::HostHeaderValue() const {
  const std::string port = Proxy.empty() ? target_.Port : SplitUrl(target_.RequestPath).Port;
  if (port.empty() || port == DefaultPortOf(target_.Scheme)) return target_.TargetHost;
  return target_.TargetHost + ":" + port;
}

void THttpCli::SendCommand(const std::string& cmd) {
  std::string line = cmd;
  if (OnCommand) OnCommand(*this, line);
  requestText_ += line;
  requestText_ += "\r\n";
}

void THttpCli::SocketDataSent() {
  if (allowedToSend_) SendNextPiece();
}

void THttpCli::SendNextPiece() {
  if (!allowedToSend_ || !SendStream) return;
  std::size_t count = SendStream->Read(sendBuffer_, sizeof sendBuffer_);
  if (count == 0) {
    allowedToSend_ = false;
    if (OnSendEnd) OnSendEnd(*this);
    return;
  }
  sentCount_ += static_cast<std::int64_t>(count);
  if (OnSendData) OnSendData(*this, sendBuffer_, static_cast<int>(count));
  if (exchangeOpen_) Tap->RequestData(sendBuffer_, count);
  socket_.Send(sendBuffer_, static_cast<int>(count));
}

void THttpCli::CloseConnection() {
  socket_.Close();
  connected_ = false;
}

void THttpCli::SocketSessionClosed(int error) {
  if (idle_) {  // the server let an idle connection go: nothing was asked on it
    idle_ = false;
    connected_ = false;
    return;
  }
  if (reused_ && state_ != httpAborting && !relocating_) return ReconnectAfterStaleConnection();
  if (tunnel_ == TTunnel::Asked && state_ != httpAborting) {
    connected_ = false;
    return FailTunnel(0,
                      "proxy closed the connection before opening the tunnel to " + TunnelTarget());
  }
  // A TLS stream cut without its closing notice: a body of announced
  // length is judged by its length; any other body cannot be known whole.
  if (error == kErrTlsTruncated) {
    const bool lengthKnown = state_ == httpWaitingBody && contentLength_ >= 0;
    socket_.LastError = lengthKnown || relocating_ ? 0 : kErrShortBody;
  }
  if (relocating_) return LocationSessionClosed();
  if (ownFraming_ && state_ == httpWaitingBody && !bodyComplete_ && requestDoneError_ == 0) {
    JudgeClosedBody(error);
  }
  NormalSessionClosed();
}

void THttpCli::NormalSessionClosed() {
  connected_ = false;
  if (exchangeOpen_) EndExchangeAtClose();
  if (bodyLineCount_ > 0 && OnDocEnd) OnDocEnd(*this);
  PostSetReady();
}

void THttpCli::LocationSessionClosed() {
  connected_ = false;
  // The body of a relocation is never read.
  EndExchange(contentLength_ == 0 ? TExchangeEnd::Complete : TExchangeEnd::CutOther,
              contentLength_ == 0 ? "" : "relocated; the body is not read");
  locationSeen_ = false;
  relocating_ = false;
  if (OnLocationChange) OnLocationChange(*this);
  std::uint64_t serial = serial_;
  deferred_.Post([this, serial] {
    // An Abort in between has already finished the request.
    if (serial != serial_ || state_ != httpWaitingHeader) return;
    // The request announces the whole body in "Content-Length:"; sending it
    // from where the last request left it would leave the server waiting.
    if (requestType_ == httpPOST && SendStream) SendStream->Rewind();
    try {
      DnsLookup();
    } catch (const std::exception&) {
      FailRequest(WSAHOST_NOT_FOUND, kReasonResolve);
    }
  });
}

void THttpCli::Abort() {
  if (state_ == httpReady) {
    if (socket_.State() != wsClosed) socket_.Close();
    idle_ = false;
    return;
  }
  bool resolving = state_ == httpDnsLookup;
  SetState(httpAborting);
  if (resolving) {
    try {
      socket_.CancelDnsLookup();
    } catch (const std::exception&) {
    }
  }
  statusCode_ = 404;
  reasonPhrase_ = "Connection aborted on request";
  requestDoneError_ = kRequestAborted;
  relocating_ = false;
  if (resolving) {
    NormalSessionClosed();
  } else {
    CloseConnection();
  }
  SetState(httpReady);
}

// A connection is kept only between requests made directly: a proxy's
// connection and a POST body stay one request per connection.
bool THttpCli::MayKeepConnection() const {
  return KeepAlive && Proxy.empty() && requestType_ != httpPOST;
}

std::string THttpCli::ConnectionKey() const {
  return target_.Scheme + "://" + target_.HostName + ":" + target_.Port + "/" + target_.TargetHost;
}

bool THttpCli::CanReuseIdleConnection() const {
  if (!idle_ || !MayKeepConnection() || socket_.State() != wsConnected) return false;
  if (ConnectionKey() != idleKey_) return false;
  if (target_.Scheme != "https") return true;
  // Certificates checked under other settings do not vouch for this request.
  return TlsContext && TlsContext->Settings() == TlsSettings && TlsContext.get() == idleTls_;
}

void THttpCli::StartOnIdleConnection() {
  idle_ = false;
  reused_ = true;
  socket_.LastError = 0;
  // Connected, as after a connect: but never from inside GetAsync.
  std::uint64_t serial = serial_;
  deferred_.Post([this, serial] {
    if (serial == serial_ && reused_ && state_ == httpNotConnected) SocketSessionConnected(0);
  });
}

void THttpCli::DropIdleConnection() {
  if (!idle_) return;
  CloseConnection();
  idle_ = false;
}

// The server closed a kept connection before answering the request sent on
// it (its idle time ran out as the request left): asked again once, on a
// new connection, as a server may do that to any kept connection.
void THttpCli::ReconnectAfterStaleConnection() {
  EndExchange(TExchangeEnd::CutDisconnect, "the kept connection closed before the reply began");
  reused_ = false;
  connected_ = false;
  std::uint64_t serial = serial_;
  deferred_.Post([this, serial] {
    if (serial != serial_ || state_ == httpReady || state_ == httpAborting) return;
    receivedHeld_ = 0;
    ContentRangeBegin = sentRangeBegin_;
    ContentRangeEnd = sentRangeEnd_;
    try {
      DnsLookup();
    } catch (const std::exception&) {
      FailRequest(WSAHOST_NOT_FOUND, kReasonResolve);
    }
  });
}

void THttpCli::FinishKeptReply(bool reusable) {
  bodyEnd_ = -1;
  lineHandler_ = TLineHandler::None;
  socket_.LastError = 0;  // the reply is whole; no read before its end failed it
  if (!reusable) return CloseConnection();
  idle_ = true;
  idleKey_ = ConnectionKey();
  idleTls_ = target_.Scheme == "https" ? TlsContext.get() : nullptr;
  NormalSessionClosed();
}

}  // namespace kestrix
