#include "http/ssl_wsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>

#include "http/socket_errors.h"

namespace kestrix {
namespace {

bool IsAddressLiteral(const std::string& host) {
  unsigned char buffer[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

int CertificateError(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return kErrCertExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return kErrCertHostMismatch;
    default:
      return kErrCertNotTrusted;
  }
}

}  // namespace

TSslWSocket::~TSslWSocket() {
  FreeSsl();
}

void TSslWSocket::SetTls(std::shared_ptr<TTlsContext> context, const std::string& host) {
  context_ = std::move(context);
  host_ = host;
  tunnelPort_.clear();
}

void TSslWSocket::StartTls(std::shared_ptr<TTlsContext> context, const std::string& host,
                           const std::string& port) {
  FreeSsl();
  tlsError_.clear();
  resumed_ = false;
  context_ = std::move(context);
  host_ = host;
  tunnelPort_ = port;
  BeginHandshake();
}

void TSslWSocket::FreeSsl() {
  // A connection the server ended with its closing notice ended well; freed
  // without saying so, the library would take its session for unusable.
  if (ssl_ && established_ && (SSL_get_shutdown(ssl_) & SSL_RECEIVED_SHUTDOWN)) {
    SSL_set_shutdown(ssl_, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
  }
  if (ssl_) SSL_free(ssl_);
  ssl_ = nullptr;
  handshaking_ = false;
  established_ = false;
}

int TSslWSocket::RcvdCount() const {
  int count = TCustomWSocket::RcvdCount();
  // Decrypted bytes already taken off the descriptor wake no notifier.
  if (ssl_ && established_ && Handle() >= 0) count += SSL_pending(ssl_);
  return count;
}

int TSslWSocket::OnNewSession(SSL* ssl, SSL_SESSION* session) {
  auto* self = static_cast<TSslWSocket*>(SSL_get_app_data(ssl));
  if (!self || !self->context_) return 0;
  self->context_->KeepSession(self->SessionKey(), session);
  return 1;  // the reference now belongs to the context
}

void TSslWSocket::TriggerSessionConnected(int error) {
  FreeSsl();
  tlsError_.clear();
  resumed_ = false;
  if (error != 0 || !context_) return TCustomWSocket::TriggerSessionConnected(error);
  BeginHandshake();
}

void TSslWSocket::BeginHandshake() {
  // The handshake's last flight and the request leave as separate small
  // writes; held back until the first is acknowledged, which the peer's
  // delayed acknowledgement puts off, every connection would wait ~40 ms.
  // Corked while handshaking, each flight leaves whole when the handshake
  // waits for the server, and the last one together with the request.
  const int on = 1;
  setsockopt(Handle(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  SetCork(true);
  ERR_clear_error();
  SSL_CTX* ctx = context_->Native();
  SSL_CTX_sess_set_new_cb(ctx, &TSslWSocket::OnNewSession);
  ssl_ = SSL_new(ctx);
  if (!ssl_ || SSL_set_fd(ssl_, Handle()) != 1) return FailHandshake(kErrTlsHandshake);
  SSL_set_app_data(ssl_, this);
  SSL_set_mode(ssl_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
  if (IsAddressLiteral(host_)) {
    X509_VERIFY_PARAM_set1_ip_asc(param, host_.c_str());
  } else {
    // The server name, spelled out: the library's macro for it casts in C style.
    SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
             const_cast<char*>(host_.c_str()));
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(ssl_, host_.c_str());
  }
  if (SSL_SESSION* kept = context_->Session(SessionKey())) SSL_set_session(ssl_, kept);
  SSL_set_connect_state(ssl_);
  handshaking_ = true;
  Handshake();
}

void TSslWSocket::Handshake() {
  ERR_clear_error();
  int rc = SSL_do_handshake(ssl_);
  if (rc == 1) {
    handshaking_ = false;
    established_ = true;
    resumed_ = SSL_session_reused(ssl_) == 1;
    WantRead();
    const std::uint64_t generation = Generation();
    TCustomWSocket::TriggerSessionConnected(0);
    if (generation == Generation()) SetCork(false);
    return;
  }
  switch (SSL_get_error(ssl_, rc)) {
    case SSL_ERROR_WANT_READ:
      SetCork(false);
      SetCork(true);
      return WantRead();
    case SSL_ERROR_WANT_WRITE:
      return WantWrite();
    default:
      break;
  }
  SetCork(false);
  long verify = SSL_get_verify_result(ssl_);
  FailHandshake(verify != X509_V_OK && !context_->AcceptUnverified() ? CertificateError(verify)
                                                                     : kErrTlsHandshake);
}

void TSslWSocket::SetCork(bool on) {
  const int value = on ? 1 : 0;
  if (Handle() >= 0) setsockopt(Handle(), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

void TSslWSocket::FailHandshake(int code) {
  std::string detail;
  if (code == kErrTlsHandshake) {
    char text[256] = {};
    unsigned long e = ERR_peek_last_error();
    if (e != 0) {
      ERR_error_string_n(e, text, sizeof text);
      detail = std::string(" (") + text + ")";
    } else {
      detail = " (connection closed)";
    }
  } else if (ssl_) {
    detail = std::string(" (") + X509_verify_cert_error_string(SSL_get_verify_result(ssl_)) + ")";
  }
  ERR_clear_error();
  tlsError_ = WSocketErrorText(code) + ": " + host_ + detail;
  handshaking_ = false;
  LastError = code;
  TCustomWSocket::TriggerSessionConnected(code);
}

ssize_t TSslWSocket::ReadRaw(void* buffer, std::size_t size) {
  if (!ssl_) return TCustomWSocket::ReadRaw(buffer, size);
  // A handler still reading after starting TLS on a tunnel would let the
  // library finish the handshake inside the read, unseen: the connected
  // event would never come and the request never leave.
  if (handshaking_) {
    errno = EAGAIN;
    return -1;
  }
  if (size == 0) return 0;
  ERR_clear_error();
  std::size_t count = 0;
  int rc = SSL_read_ex(ssl_, buffer, size, &count);
  if (rc == 1) return static_cast<ssize_t>(count);
  switch (SSL_get_error(ssl_, rc)) {
    case SSL_ERROR_ZERO_RETURN:
      return 0;
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
      errno = EAGAIN;
      return -1;
    default:
      // An end without the closing notice, or a broken record: whatever
      // came is kept, the close is reported as a failure.
      ERR_clear_error();
      errno = ECONNRESET;
      return -1;
  }
}

ssize_t TSslWSocket::WriteRaw(const char* data, std::size_t size, int flags) {
  if (!ssl_) return TCustomWSocket::WriteRaw(data, size, flags);
  ERR_clear_error();
  std::size_t count = 0;
  int rc = SSL_write_ex(ssl_, data, size, &count);
  if (rc == 1) return static_cast<ssize_t>(count);
  switch (SSL_get_error(ssl_, rc)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
      errno = EAGAIN;
      return -1;
    default:
      ERR_clear_error();
      errno = ECONNRESET;
      return -1;
  }
}

int TSslWSocket::PeerCloseError() const {
  if (!ssl_ || !established_) return 0;
  return (SSL_get_shutdown(ssl_) & SSL_RECEIVED_SHUTDOWN) ? 0 : kErrTlsTruncated;
}

}  // namespace kestrix
