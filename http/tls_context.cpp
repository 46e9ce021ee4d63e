#include "http/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace kestrix {
namespace {

// Sessions of this many hosts are kept; a crawl rarely visits more, and
// dropping one only costs a full handshake.
constexpr std::size_t kMaxSessions = 256;

std::string LastSslError() {
  char text[256] = {};
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  ERR_clear_error();
  return text;
}

}  // namespace

TTlsContext::TTlsContext(const TTlsSettings& settings) : settings_(settings) {
  ctx_ = SSL_CTX_new(TLS_client_method());
  if (!ctx_) throw std::runtime_error("TLS: " + LastSslError());
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  // The verification result is read after the handshake, so a refused
  // certificate can be told apart and named; without acceptance the
  // handshake itself still stops at a bad certificate.
  SSL_CTX_set_verify(ctx_, settings.AcceptUnverified ? SSL_VERIFY_NONE : SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  if (SSL_CTX_set_default_verify_paths(ctx_) != 1) ERR_clear_error();
  if (!settings.ExtraCaFile.empty() &&
      SSL_CTX_load_verify_locations(ctx_, settings.ExtraCaFile.c_str(), nullptr) != 1) {
    std::string why = LastSslError();
    SSL_CTX_free(ctx_);
    throw std::runtime_error("TLS: cannot read CA file " + settings.ExtraCaFile + ": " + why);
  }
}

TTlsContext::~TTlsContext() {
  for (auto& [key, session] : sessions_) SSL_SESSION_free(session);
  SSL_CTX_free(ctx_);
}

SSL_SESSION* TTlsContext::Session(const std::string& key) const {
  auto it = sessions_.find(key);
  return it == sessions_.end() ? nullptr : it->second;
}

void TTlsContext::KeepSession(const std::string& key, SSL_SESSION* session) {
  auto it = sessions_.find(key);
  if (it != sessions_.end()) {
    SSL_SESSION_free(it->second);
    it->second = session;
    return;
  }
  if (sessions_.size() >= kMaxSessions) {
    SSL_SESSION_free(sessions_.begin()->second);
    sessions_.erase(sessions_.begin());
  }
  sessions_.emplace(key, session);
}

}  // namespace kestrix
