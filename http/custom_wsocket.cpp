#include "http/custom_wsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "http/socket_errors.h"
#include "http/wsocket_resolve.h"

namespace kestrix {
namespace {

// Errors a non-blocking connect reports later on Winsock; here the system may
// report them at once, so they are turned into a deferred connect event.
bool IsLateConnectError(int err) {
  return err == ECONNREFUSED || err == ENETUNREACH || err == EHOSTUNREACH || err == ETIMEDOUT;
}

bool PeerGone(int code) {
  return code == WSAECONNRESET || code == WSAENOTSOCK || code == WSAENOTCONN || code == WSAEINVAL ||
         code == WSAECONNABORTED;
}

}  // namespace

TCustomWSocket::TCustomWSocket()
    : lookup_(deferred_.Context()),
      readNotifier_(QSocketNotifier::Read),
      writeNotifier_(QSocketNotifier::Write) {
  QObject::connect(&readNotifier_, &QSocketNotifier::activated, deferred_.Context(),
                   [this] { Guarded([this] { OnReadable(); }); });
  QObject::connect(&writeNotifier_, &QSocketNotifier::activated, deferred_.Context(),
                   [this] { Guarded([this] { OnWritable(); }); });
}

TCustomWSocket::~TCustomWSocket() {
  destroying_ = true;
  lookup_.Cancel();
  ReleaseHandle();
}

template <class F>
void TCustomWSocket::Guarded(F&& work) {
  try {
    work();
  } catch (const std::exception& e) {
    HandleBgException(e);
  } catch (...) {
    HandleBgException(std::runtime_error("Unknown exception"));
  }
}

void TCustomWSocket::HandleBgException(const std::exception& e) {
  bool canClose = true;
  try {
    if (OnBgException) OnBgException(*this, e, canClose);
    if (canClose) Abort();
  } catch (...) {
    // Nothing may escape into the event loop; the socket is released below.
    if (canClose) ReleaseHandle();
  }
}

void TCustomWSocket::RaiseException(const std::string& message) {
  errorMessage_ = message;
  if (OnError) {
    OnError(*this);
    return;
  }
  throw ESocketException(message);
}

void TCustomWSocket::SocketError(const std::string& function) {
  int code = WinsockErrorFromErrno(errno);
  LastError = code;
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    ReleaseHandle();
    ChangeState(wsClosed);
  }
  RaiseException("Error " + std::to_string(code) + " in function " + function + "\r\n" +
                 WSocketErrorText(code));
}

void TCustomWSocket::ChangeState(TSocketState newState) {
  TSocketState old = state_;
  if (old == newState) return;
  state_ = newState;
  if (OnChangeState) OnChangeState(*this, old, newState);
}

void TCustomWSocket::SetAddr(const std::string& value) {
  if (state_ != wsClosed) return RaiseException("Cannot change Addr if not closed");
  addr_ = value;
}

void TCustomWSocket::SetPort(const std::string& value) {
  if (state_ != wsClosed) return RaiseException("Cannot change Port if not closed");
  port_ = value;
}

void TCustomWSocket::SetProto(const std::string& value) {
  if (value == proto_) return;
  if (state_ != wsClosed) return RaiseException("Cannot change Proto if not closed");
  proto_ = value;
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
  if (state_ != wsClosed) return RaiseException("Cannot change LocalAddr if not closed");
  std::string address = value.empty() ? "0.0.0.0" : value;
  if (!DottedAddress(address)) return RaiseException("SetLocalAddr(): Invalid IP address");
  localAddr_ = *DottedAddress(address);
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  if (state_ != wsClosed) return RaiseException("Cannot change LocalPort if not closed");
  localPort_ = value;
}

void TCustomWSocket::SetSendFlags(int value) {
  if (value != wsSendNormal && value != wsSendUrgent) return RaiseException("Invalid SendFlags");
  sendFlags_ = value;
}

std::string TCustomWSocket::PeerAddr() const {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  if (sa.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&sa)->sin_addr, text, sizeof text);
  } else {
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&sa)->sin6_addr, text, sizeof text);
  }
  return text;
}

std::string TCustomWSocket::PeerPort() const {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  // Both address families keep the port at the same offset.
  return std::to_string(ntohs(reinterpret_cast<sockaddr_in*>(&sa)->sin_port));
}

int TCustomWSocket::RcvdCount() const {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, FIONREAD, &count) != 0) return 0;
  return count;
}

void TCustomWSocket::DnsLookup(const std::string& host) {
  if (host.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    if (OnDnsLookupDone) OnDnsLookupDone(*this, WSAEINVAL);
    return;
  }
  CancelDnsLookup();
  dnsResult_.clear();
  dnsResultList_.clear();
  if (auto dotted = DottedAddress(host)) {
    dnsResult_ = *dotted;
    dnsResultList_.push_back(dnsResult_);
    if (OnDnsLookupDone) OnDnsLookupDone(*this, 0);
    return;
  }
  try {
    StartLookup(host);
  } catch (const std::system_error& e) {
    RaiseException(host + ": can't start DNS lookup, error #" + std::to_string(e.code().value()));
  }
}

void TCustomWSocket::StartLookup(const std::string& host) {
  lookup_.Start(host, [this](const TLookupAnswer& answer) {
    Guarded([this, &answer] {
      if (answer.Error == 0) {
        dnsResultList_ = answer.Addresses;
        dnsResult_ = dnsResultList_.front();
      }
      if (OnDnsLookupDone) OnDnsLookupDone(*this, static_cast<std::uint16_t>(answer.Error));
    });
  });
}

void TCustomWSocket::CancelDnsLookup() {
  if (!lookup_.Pending()) return;
  lookup_.Cancel();
  if (!destroying_ && OnDnsLookupDone) OnDnsLookupDone(*this, WSAEINTR);
}

void TCustomWSocket::Connect() {
  if (fd_ >= 0 && state_ != wsClosed) return RaiseException("Connect: Socket already in use");
  if (port_.empty()) return RaiseException("Connect: No Port Specified");
  if (addr_.empty()) return RaiseException("Connect: No IP Address Specified");
  if (proto_.empty()) return RaiseException("Connect: No Protocol Specified");
  int proto = WSocketResolveProto(proto_);
  bool udp = proto == IPPROTO_UDP;
  int port = WSocketResolvePort(port_, udp ? "udp" : "tcp");
  TResolvedHost host = WSocketResolveHost(addr_);
  reinterpret_cast<sockaddr_in*>(&host.Address)->sin_port = htons(static_cast<std::uint16_t>(port));

  sendBuffer_.Clear();
  allSent_ = true;
  LastError = 0;
  ReleaseHandle();
  fd_ = socket(host.Address.ss_family,
               (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return SocketError("Connect (socket)");
  ++generation_;
  closeReported_ = false;
  peerClosed_ = false;
  ChangeState(wsOpened);

  int on = 1;
  if (!udp) {
    if (localPort_ != "0" || localAddr_ != "0.0.0.0") {
      TResolvedHost local = WSocketResolveHost(localAddr_);
      reinterpret_cast<sockaddr_in*>(&local.Address)->sin_port =
          htons(static_cast<std::uint16_t>(WSocketResolvePort(localPort_, "tcp")));
      if (bind(fd_, reinterpret_cast<sockaddr*>(&local.Address), local.Length) != 0) {
        return SocketError("bind");
      }
    }
    if (LingerOnOff != wsLingerNoSet) {
      linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
      if (setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) {
        return SocketError("setsockopt(SO_LINGER)");
      }
    }
    if (setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
      return SocketError("setsockopt(SO_KEEPALIVE)");
    }
    if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
      return SocketError("setsockopt(SO_REUSEADDR)");
    }
  } else if (DottedAddress(addr_) == "255.255.255.255") {
    if (setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
      return SocketError("setsockopt(SO_BROADCAST)");
    }
  }

  readPaused_ = false;
  int rc = connect(fd_, reinterpret_cast<sockaddr*>(&host.Address), host.Length);
  int err = rc == 0 ? 0 : errno;
  readNotifier_.setSocket(fd_);
  writeNotifier_.setSocket(fd_);
  if (udp) {
    if (rc != 0) return SocketError("Connect");
    readNotifier_.setEnabled(true);
    ChangeState(wsConnected);
    if (OnSessionConnected) OnSessionConnected(*this, 0);
    return;
  }
  if (rc == 0 || err == EINPROGRESS) {
    ChangeState(wsConnecting);
    writeNotifier_.setEnabled(true);  // writable = the connect has completed
    return;
  }
  if (IsLateConnectError(err)) {
    ChangeState(wsConnecting);
    std::uint64_t generation = generation_;
    deferred_.Post([this, generation, err] {
      if (generation == generation_ && state_ == wsConnecting) {
        Guarded([this, err] { HandleConnected(WinsockErrorFromErrno(err)); });
      }
    });
    return;
  }
  errno = err;
  SocketError("Connect");
}

void TCustomWSocket::HandleConnected(int error) {
  writeNotifier_.setEnabled(false);
  ChangeState(wsConnected);
  if (error == 0) readNotifier_.setEnabled(true);
  TriggerSessionConnected(error);
}

void TCustomWSocket::TriggerSessionConnected(int error) {
  std::uint64_t generation = generation_;
  if (OnSessionConnected) OnSessionConnected(*this, static_cast<std::uint16_t>(error));
  if (error != 0 && generation == generation_ && state_ != wsClosed) Close();
}

ssize_t TCustomWSocket::ReadRaw(void* buffer, std::size_t size) {
  return recv(fd_, buffer, size, 0);
}

ssize_t TCustomWSocket::WriteRaw(const char* data, std::size_t size, int flags) {
  return send(fd_, data, size, flags);
}

void TCustomWSocket::OnWritable() {
  if (state_ == wsConnecting) {
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    HandleConnected(WinsockErrorFromErrno(err));
    if (fd_ >= 0 && !sendBuffer_.Empty()) writeNotifier_.setEnabled(true);
    return;
  }
  writeNotifier_.setEnabled(false);
  if (LayerBusy()) return LayerReady();
  std::uint64_t generation = generation_;
  TryToSend();
  if (generation == generation_ && allSent_ && OnDataSent) OnDataSent(*this, 0);
}

void TCustomWSocket::OnReadable() {
  if (LayerBusy()) return LayerReady();
  if (const int waiting = RcvdCount(); waiting > 0) return ReceiveLoop(waiting);
  char probe;
  ssize_t n = recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) return ReceiveLoop();
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  peerClosed_ = n == 0;
  HandleClosed(n == 0 ? 0 : WinsockErrorFromErrno(errno));
}

void TCustomWSocket::HandleClosed(int error) {
  std::uint64_t generation = generation_;
  if (state_ != wsConnecting) ReceiveLoop();
  if (generation != generation_) return;
  if (!error) error = PeerCloseError();
  if (error) LastError = error;
  FireClosed(error);
  if (generation == generation_ && fd_ >= 0) Close();
}

void TCustomWSocket::FireClosed(int error) {
  if (closeReported_ || destroying_) return;
  closeReported_ = true;
  if (OnSessionClosed) OnSessionClosed(*this, static_cast<std::uint16_t>(error));
}

void TCustomWSocket::ReceiveLoop(int waiting) {
  std::uint64_t generation = generation_;
  // Each count taken after a handler serves as the next turn's starting
  // count: asking the kernel twice in a row would tell nothing new.
  for (int before = waiting >= 0 ? waiting : RcvdCount();;) {
    LastError = 0;
    if (OnDataAvailable) {
      OnDataAvailable(*this, 0);
    } else {
      char discard[1024];
      if (Receive(discard, sizeof discard) <= 0) break;
    }
    if (generation != generation_ || fd_ < 0) break;
    if ((ComponentOptions & wsoNoReceiveLoop) || LastError) break;
    int after = RcvdCount();
    // A handler that reads nothing would otherwise be called for ever; the
    // notifier calls it again on the next turn of the event loop.
    if (after <= 0 || after == before) break;
    before = after;
  }
}

int TCustomWSocket::Send(const void* data, int length) {
  if (state_ != wsConnected) {
    errno = ENOTCONN;
    SocketError("Send");
    return -1;
  }
  sendBuffer_.Append(static_cast<const char*>(data), static_cast<std::size_t>(std::max(length, 0)));
  allSent_ = sendBuffer_.Empty();
  std::uint64_t generation = generation_;
  TryToSend();
  if (generation == generation_ && fd_ >= 0 && allSent_) {
    // OnDataSent never fires inside Send: post the write notification.
    deferred_.Post([this, generation] {
      if (generation == generation_ && allSent_ && OnDataSent) {
        Guarded([this] { OnDataSent(*this, 0); });
      }
    });
  }
  return length;
}

void TCustomWSocket::TryToSend() {
  std::uint64_t generation = generation_;
  int flags = MSG_NOSIGNAL | (sendFlags_ == wsSendUrgent ? MSG_OOB : 0);
  for (std::string_view chunk = sendBuffer_.Front(); !chunk.empty(); chunk = sendBuffer_.Front()) {
    ssize_t n = WriteRaw(chunk.data(), chunk.size(), flags);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) {
        writeNotifier_.setEnabled(true);
        return;
      }
      int code = WinsockErrorFromErrno(errno);
      if (PeerGone(code)) {
        LastError = code;
        closeReported_ = true;
        sendBuffer_.Clear();
        Close();
        if (OnSessionClosed) OnSessionClosed(*this, static_cast<std::uint16_t>(code));
        return;
      }
      return SocketError("TryToSend failed");
    }
    sendBuffer_.Consume(static_cast<std::size_t>(n));
    if (OnSendData) OnSendData(*this, static_cast<int>(n));
    if (generation != generation_) return;
    if (static_cast<std::size_t>(n) < chunk.size()) {
      writeNotifier_.setEnabled(true);
      return;
    }
  }
  allSent_ = true;
}

int TCustomWSocket::Receive(void* buffer, int size) {
  if (fd_ < 0) {
    LastError = WSAENOTCONN;
    return -1;
  }
  ssize_t n = ReadRaw(buffer, static_cast<std::size_t>(std::max(size, 0)));
  if (n < 0) {
    LastError = WinsockErrorFromErrno(errno);
    return -1;
  }
  if (n == 0 && size > 0) peerClosed_ = true;
  readCount_ += n;
  return static_cast<int>(n);
}

void TCustomWSocket::PauseReading() {
  readPaused_ = true;
  readNotifier_.setEnabled(false);
}

void TCustomWSocket::ResumeReading() {
  if (!readPaused_) return;
  readPaused_ = false;
  if (fd_ < 0 || state_ != wsConnected) return;
  readNotifier_.setEnabled(true);
  // Bytes a layer above the descriptor already holds (decrypted TLS
  // records) would never make the descriptor readable again.
  std::uint64_t generation = generation_;
  deferred_.Post([this, generation] {
    if (generation == generation_ && !readPaused_ && fd_ >= 0) Guarded([this] { OnReadable(); });
  });
}

void TCustomWSocket::ReleaseHandle() {
  readNotifier_.setEnabled(false);
  writeNotifier_.setEnabled(false);
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ++generation_;
    if (!destroying_) HandleReleased();
  }
}

void TCustomWSocket::ResetSettings() {
  addr_.clear();
  port_.clear();
  proto_ = "tcp";
  localAddr_ = "0.0.0.0";
  localPort_ = "0";
  LingerOnOff = wsLingerOn;
  LingerTimeout = 0;
  FlushTimeout = 60;
}

void TCustomWSocket::Close() {
  if (fd_ >= 0 && state_ != wsClosed && !peerClosed_) shutdown(fd_, SHUT_WR);
  ReleaseHandle();
  ChangeState(wsClosed);
  FireClosed(0);
  if (state_ == wsClosed && fd_ < 0) ResetSettings();
}

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  sendBuffer_.Clear();
  allSent_ = true;
  if (fd_ >= 0 && state_ == wsConnected) {
    linger l{0, 0};  // lingering off; and no shutdown() before the close
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  ReleaseHandle();
  ChangeState(wsClosed);
  FireClosed(0);
  if (state_ == wsClosed && fd_ < 0) ResetSettings();
}

}  // namespace kestrix
