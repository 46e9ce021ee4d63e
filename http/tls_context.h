// The TLS settings every connection of a job shares: the trusted
// certificates, whether unverifiable certificates are accepted, and the
// sessions kept per host so the next connection to a host can skip the full
// handshake. Used from one thread only, like the sockets that hold it.
#pragma once

#include <map>
#include <memory>
#include <string>

using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

namespace kestrix {

struct TTlsSettings {
  bool AcceptUnverified = false;
  std::string ExtraCaFile;  // PEM; trusted besides the system's store

  bool operator==(const TTlsSettings&) const = default;
};

class TTlsContext {
 public:
  // Throws std::runtime_error when the context or the CA file cannot be set up.
  explicit TTlsContext(const TTlsSettings& settings);
  ~TTlsContext();
  TTlsContext(const TTlsContext&) = delete;
  TTlsContext& operator=(const TTlsContext&) = delete;

  SSL_CTX* Native() const { return ctx_; }
  bool AcceptUnverified() const { return settings_.AcceptUnverified; }
  const TTlsSettings& Settings() const { return settings_; }

  // The session last agreed with `key` (host:port), or null; borrowed.
  SSL_SESSION* Session(const std::string& key) const;
  // Keeps `session` (one reference taken over) for `key`.
  void KeepSession(const std::string& key, SSL_SESSION* session);

 private:
  TTlsSettings settings_;
  SSL_CTX* ctx_ = nullptr;
  std::map<std::string, SSL_SESSION*> sessions_;
};

}  // namespace kestrix
