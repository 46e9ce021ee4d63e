// The asynchronous HTTP client. One instance performs one request at a time
// over one connection that the server closes at the end of the reply; it
// resolves, connects, writes the request, parses the reply header, follows
// relocations itself and hands the body over piece by piece. Everything is
// reported through events fired from the owning thread's event loop.
// With KeepAlive the server may keep the connection open after a reply of
// known length, and the next request to the same place goes over it.
// Requests are HTTP/1.0 and bodies are handed over as they came unless the
// owner asks for HTTP/1.1, decoding or compression (see HttpVersion).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/deferred.h"
#include "http/exchange_tap.h"
#include "http/http_helpers.h"
#include "http/read_throttle.h"
#include "http/relocation.h"
#include "http/reply_framing.h"
#include "http/streams.h"
#include "http/wsocket.h"

namespace kestrix {

enum THttpState : std::uint8_t {
  httpReady,
  httpNotConnected,
  httpConnected,
  httpDnsLookup,
  httpDnsLookupDone,
  httpWaitingHeader,
  httpWaitingBody,
  httpAborting
};

inline constexpr char kDefaultHttpPort[] = "80";

enum THttpRequest : std::uint8_t { httpAbort, httpGET, httpPOST, httpHEAD };

// RequestDoneError of a request ended by Abort.
inline constexpr int kRequestAborted = 3;

enum THttpVersion : std::uint8_t { http10, http11 };

// The type of a form's body unless the form says otherwise.
inline constexpr char kFormUrlEncoded[] = "application/x-www-form-urlencoded";

class THttpCli {
 public:
  using TNotifyEvent = std::function<void(THttpCli& sender)>;
  using TDataEvent = std::function<void(THttpCli& sender, const char* buffer, int length)>;

  THttpCli();
  virtual ~THttpCli();
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // Settings for the next request.
  std::string URL;
  std::string Proxy;  // host[:port]; empty = direct connection
  std::string ProxyPort = "80";
  std::string Sender;
  std::string Agent = "Mozilla/3.0 (compatible)";
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  std::string Reference;
  std::string Username, Password;  // replaced by credentials found in URL
  std::string ProxyUsername, ProxyPassword;
  bool NoCache = false;
  double ModifiedSince = 0;  // days since 1899-12-30, taken as GMT; 0 = none
  std::string Cookie;
  // The POST body's type, per request; a value that could end its header
  // line early is not sent.
  std::string ContentTypePost = kFormUrlEncoded;
  // Cleared once written; overwritten by a "content-range" reply header.
  std::string ContentRangeBegin, ContentRangeEnd;
  TOutStream* ReceiveStream = nullptr;  // borrowed; every body piece goes here too
  TInStream* SendStream = nullptr;      // borrowed; the POST body
  // How "https://" URLs are checked; the context built from them is kept
  // for the client's life, with its sessions, unless one is given to share.
  TTlsSettings TlsSettings;
  std::shared_ptr<TTlsContext> TlsContext;
  // Asks for the connection to be kept open after the reply (direct GET
  // requests only): a connection per file costs a connect, and over TLS a
  // handshake, for every document of a site.
  bool KeepAlive = false;
  // The version of the requests. An HTTP/1.1 server keeps the connection
  // unless told otherwise, so "Connection: close" goes with every request
  // whose connection is not to be kept; its replies may come in chunks,
  // which the client then always takes off itself.
  THttpVersion HttpVersion = http10;
  // The client reads the framing of every reply itself and undoes its
  // transfer and content codings: ReceiveStream and OnDocData get the
  // document, and a reply that cannot be framed or decoded ends the request
  // with kErrUnframedReply, kErrUndecodableBody or kErrShortBody and the
  // reason in ReasonPhrase. The whole header of an error reply is read
  // (its Retry-After), and a short body of one is read past on a kept
  // connection. Off: the body as it came.
  bool DecodeBody = false;
  // Asks for compressed replies and decodes them (DecodeBody with it). A
  // request with a Range never asks: the bytes of a partial file are the
  // document's own, and a part of a compressed body cannot be decoded.
  bool AcceptCompression = false;
  // Sent as "If-None-Match:" when set: the ETag of the copy kept, so that a
  // server without Last-Modified can answer 304 too.
  std::string IfNoneMatch;
  // Borrowed observers; null costs nothing. The tap sees every exchange as
  // it went over the wire; the throttle is asked before every read.
  TExchangeTap* Tap = nullptr;
  TReadThrottle* ReadThrottle = nullptr;
  bool MultiThreaded() const { return socket_.MultiThreaded; }
  void SetMultiThreaded(bool value) { socket_.MultiThreaded = value; }

  TNotifyEvent OnTrace;  // declared for completeness; never fired
  TNotifyEvent OnSessionConnected, OnHeaderData, OnHeaderBegin, OnHeaderEnd;
  std::function<void(THttpCli& sender, std::string& cmd)> OnCommand;
  TNotifyEvent OnRequestHeaderBegin, OnRequestHeaderEnd, OnDocBegin;
  TDataEvent OnDocData;
  TNotifyEvent OnDocEnd, OnSendBegin;
  TDataEvent OnSendData;
  TNotifyEvent OnSendEnd, OnStateChange;
  // Always delivered through the event loop, after State became httpReady.
  std::function<void(THttpCli& sender, THttpRequest rqType, std::uint16_t error)> OnRequestDone;
  TNotifyEvent OnLocationChange;
  std::function<void(THttpCli& sender, const std::string& data, bool& accept)> OnCookie;

  // Raise EHttpException when busy or, for a POST, without SendStream.
  void GetAsync();
  void PostAsync();
  void HeadAsync();
  void Abort();

  // What the reply and the client's progress left behind.
  THttpState State() const { return state_; }
  THttpRequest RequestType() const { return requestType_; }
  int RequestDoneError() const { return requestDoneError_; }
  int StatusCode() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }
  std::int64_t ContentLength() const { return contentLength_; }
  const std::string& ContentType() const { return contentType_; }
  const std::string& AcceptRanges() const { return acceptRanges_; }
  const std::vector<std::string>& ReceivedHeader() const { return receivedHeader_; }
  const std::vector<std::string>& AuthenticateHeaders() const { return authenticateHeaders_; }
  const std::string& Location() const { return target_.Location; }
  const std::string& DocName() const { return docName_; }
  // Body bytes as they came over the connection (chunk framing and
  // compression included), and as handed to ReceiveStream and OnDocData;
  // the same unless the client decodes.
  std::int64_t ReceivedCount() const { return receivedCount_; }
  std::int64_t DecodedCount() const { return decodedCount_; }
  // Fields of the last reply, read whatever the settings. Codings are
  // lower-cased, several fields joined by ", ".
  const std::string& ContentEncoding() const { return contentEncoding_; }
  const std::string& TransferEncoding() const { return transferEncoding_; }
  double LastModified() const { return lastModified_; }  // 0: none, or unreadable
  const std::string& ETag() const { return etag_; }
  // Seconds to wait before asking again; -1 when the reply gives no
  // readable "Retry-After:".
  std::int64_t RetryAfter() const;
  // The absolute URL now requested, with its port when it is not the
  // scheme's default (Location leaves the port out): URL at the start, then
  // each relocation's target.
  std::string TargetUrl() const;
  std::int64_t SentCount() const { return sentCount_; }
  bool Connected() const { return connected_; }
  const std::string& HostName() const { return target_.HostName; }
  const std::string& Port() const { return target_.Port; }
  const std::string& TargetHost() const { return target_.TargetHost; }
  const std::string& RequestPath() const { return target_.RequestPath; }
  // The socket's last error code, which tells a reset from a clean close.
  int SocketLastError() const { return socket_.LastError; }
  TWSocket& CtrlSocket() { return socket_; }

 protected:
  // Appends one request line (after OnCommand) to the request being built.
  virtual void SendCommand(const std::string& cmd);
  virtual void DnsLookup();
  virtual void CloseConnection();
  virtual void LocationSessionClosed();

 private:
  enum class TLineHandler : std::uint8_t { None, Header, Body };
  // An https request through the proxy first asks it for a tunnel, then
  // secures the tunnel, then sends the request as to the origin itself.
  enum class TTunnel : std::uint8_t { None, Asked, Securing };

  void DoRequestAsync(THttpRequest rq);
  void SetState(THttpState state);
  void PostSetReady();
  void FailRequest(int error, const std::string& reason);
  void SendRequest(const char* method, const char* version);
  bool AuthorizationAllowed() const;
  // Readies the socket for plain TCP or TLS; false when the request failed.
  bool PrepareTls();
  bool EnsureTlsContext();
  void AskForTunnel();
  void TunnelReply();
  void FailTunnel(int status, const std::string& reason);
  std::string TunnelTarget() const;  // host:port of the origin
  std::string OriginPath() const;
  std::string HostHeaderValue() const;
  void SendNextPiece();
  void SocketDnsLookupDone(int error);
  void SocketSessionConnected(int error);
  void SocketSessionClosed(int error);
  void SocketDataAvailable();
  void SocketDataSent();
  void NormalSessionClosed();
  // Keeping connections open between requests.
  std::string ConnectionKey() const;
  bool MayKeepConnection() const;
  bool CanReuseIdleConnection() const;
  void StartOnIdleConnection();
  void DropIdleConnection();
  void ReconnectAfterStaleConnection();
  std::int64_t KeptBodyEnd() const;
  void DeliverBody(const char* data, std::size_t size);
  void FinishKeptReply(bool reusable);
  void HandleLine(const std::string& line);
  void HeaderLine(const std::string& line);
  void HeaderField(const std::string& line);
  void ReplyField(const std::string& name, const std::string& value);
  void EndOfHeader();
  void StartRelocation();
  void RawBodyPiece(const char* data, std::size_t size);
  void BodyPiece(const char* data, std::size_t size);
  void ResetReplyFields();
  // The body when the client reads the framing itself.
  struct TBodyPipeline;
  struct TDocSink;
  void EndOfFramedHeader();
  bool BuildPipeline(const TReplyFraming& framing);
  void DeliverFramed(const char* data, std::size_t size);
  void FinishFramedReply(bool nothingBeyond);
  bool FinishDecoders(int& code, std::string& why);
  void JudgeClosedBody(int error);
  void FailReply(int code, const std::string& why);
  // Exchanges as the tap sees them, and reading under the throttle.
  void BeginExchange();
  void EndExchange(TExchangeEnd end, const std::string& why);
  void EndExchangeAtClose();
  void PauseReading(int ms);

  TWSocket socket_;
  TDeferred deferred_;
  THttpState state_ = httpReady;
  THttpRequest requestType_ = httpAbort;
  int requestDoneError_ = 0;
  int statusCode_ = 0;
  std::string reasonPhrase_;
  std::int64_t contentLength_ = -1;
  std::string contentType_;
  std::string acceptRanges_;
  std::vector<std::string> receivedHeader_;
  std::vector<std::string> authenticateHeaders_;
  TRequestTarget target_;
  std::string docName_;
  std::int64_t receivedCount_ = 0;
  std::int64_t sentCount_ = 0;
  bool connected_ = false;
  std::string dnsResult_;
  std::uint64_t serial_ = 0;  // counts requests, so stale notifications are dropped

  // Credentials are sent only to the host they were meant for.
  std::string requestHost_;  // the host of URL at the start of the request
  std::string urlCredUser_, urlCredHost_;

  char sendBuffer_[8193] = {};
  char receiveBuffer_[8193] = {};
  int receivedHeld_ = 0;
  std::string lineEnd_;  // what ended the line last taken out of the buffer
  std::string requestText_;
  int headerLineCount_ = 0;
  int bodyLineCount_ = 0;
  bool locationSeen_ = false;
  std::string refusedLocation_;
  bool allowedToSend_ = false;
  bool relocating_ = false;  // the close ends a relocation, not the request
  TLineHandler lineHandler_ = TLineHandler::None;
  // What the reply said of the connection, and where its body ends when the
  // connection stays open (-1: the body ends when the server closes).
  bool replyHttp11_ = false, replyKeepAlive_ = false, replyClose_ = false, replyFramed_ = false;
  std::int64_t bodyEnd_ = -1;
  bool idle_ = false;    // the socket is open between requests, for the next one
  bool reused_ = false;  // this request went out on an idle connection, unanswered so far
  std::string idleKey_;  // where the idle connection leads
  const TTlsContext* idleTls_ = nullptr;
  std::string sentRangeBegin_, sentRangeEnd_;  // asked for again if the request is resent
  TTunnel tunnel_ = TTunnel::None;
  std::string tunnelReply_;

  // Fixed for a request when it starts, relocations included.
  bool ownFraming_ = false, decodeContent_ = false;
  std::int64_t decodedCount_ = 0;
  std::string contentEncoding_, transferEncoding_, etag_, retryAfter_;
  double lastModified_ = 0, replyDate_ = 0;
  std::vector<std::string> contentLengths_;  // each value as received
  std::string pendingLocation_;              // followed once the whole header is known
  TBodyFraming framing_ = TBodyFraming::Close;
  bool keep_ = false;          // the connection serves the next request
  bool discarding_ = false;    // an error reply's body, read past unseen
  bool bodyComplete_ = false;  // the framing has reached its end
  std::uint64_t bodySerial_ = 0;
  // Shared so that a body piece being written keeps it alive even if a
  // handler of that piece starts the next request.
  std::shared_ptr<TBodyPipeline> pipeline_;
  bool exchangeOpen_ = false;
};

}  // namespace kestrix
