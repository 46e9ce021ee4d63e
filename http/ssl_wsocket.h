// The TLS layer of the socket stack. Once the TCP connect completes it runs
// the handshake on the same readiness notifications, then encrypts what is
// sent and decrypts what is received, so the events above (connected, data
// available, closed) read exactly as over plain TCP. Off unless a context
// is given for the next connection.
#pragma once

#include <memory>
#include <string>

#include "http/custom_wsocket.h"
#include "http/tls_context.h"

using SSL = struct ssl_st;

namespace kestrix {

class TSslWSocket : public TCustomWSocket {
 public:
  TSslWSocket() = default;
  ~TSslWSocket() override;

  // TLS for the next connection to `host` (checked against the
  // certificate, sent as the server name); a null context means plain TCP.
  void SetTls(std::shared_ptr<TTlsContext> context, const std::string& host);
  // Starts TLS now on a connection that is already up (a tunnel a proxy
  // opened to `host`:`port`); OnSessionConnected fires again once the
  // handshake ends, as after a direct connect.
  void StartTls(std::shared_ptr<TTlsContext> context, const std::string& host,
                const std::string& port);
  bool TlsEnabled() const { return context_ != nullptr; }
  // The last TLS failure with the host it concerns, empty when none.
  const std::string& TlsError() const { return tlsError_; }
  // Whether the last handshake resumed a kept session.
  bool TlsResumed() const { return resumed_; }

  int RcvdCount() const override;

 protected:
  void TriggerSessionConnected(int error) override;
  ssize_t ReadRaw(void* buffer, std::size_t size) override;
  ssize_t WriteRaw(const char* data, std::size_t size, int flags) override;
  bool LayerBusy() const override { return handshaking_; }
  void LayerReady() override { Handshake(); }
  int PeerCloseError() const override;
  void HandleReleased() override { FreeSsl(); }

 private:
  static int OnNewSession(SSL* ssl, SSL_SESSION* session);
  void BeginHandshake();
  void Handshake();
  void FailHandshake(int code);
  void SetCork(bool on);
  void FreeSsl();
  // Sessions belong to the origin, not to a proxy in between.
  std::string SessionKey() const {
    return host_ + ":" + (tunnelPort_.empty() ? Port() : tunnelPort_);
  }

  std::shared_ptr<TTlsContext> context_;
  std::string host_;
  std::string tunnelPort_;
  SSL* ssl_ = nullptr;
  bool handshaking_ = false;
  bool established_ = false;
  bool resumed_ = false;
  std::string tlsError_;
};

}  // namespace kestrix
