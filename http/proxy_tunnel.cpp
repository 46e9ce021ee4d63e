// The tunnel side of THttpCli: an https request through the proxy asks it
// with CONNECT for a plain byte stream to the origin, then runs TLS to the
// origin over that stream, so the proxy sees neither the pages nor the
// request.
#include <cstdlib>

#include "core/url_split.h"
#include "http/http_client.h"
#include "http/socket_errors.h"

namespace kestrix {
namespace {

// A proxy that never ends its reply must not grow the buffer without bound.
constexpr std::size_t kTunnelReplyLimit = 16384;

}  // namespace

std::string THttpCli::TunnelTarget() const {
  TUrlParts url = SplitUrl(target_.RequestPath);
  return url.Host + ":" + (url.Port.empty() ? DefaultPortOf(target_.Scheme) : url.Port);
}

std::string THttpCli::OriginPath() const {
  std::string path = SplitUrl(target_.RequestPath).Path;
  return path.empty() ? "/" : path;
}

void THttpCli::AskForTunnel() {
  tunnelReply_.clear();
  connected_ = true;
  SetState(httpConnected);
  std::string ask = "CONNECT " + TunnelTarget() + " HTTP/1.0\r\nHost: " + TunnelTarget() + "\r\n";
  if (!Agent.empty()) ask += "User-Agent: " + Agent + "\r\n";
  if (!ProxyUsername.empty()) {
    ask +=
        "Proxy-Authorization: Basic " + EncodeBase64(ProxyUsername + ":" + ProxyPassword) + "\r\n";
  }
  ask += "\r\n";
  socket_.Send(ask.data(), static_cast<int>(ask.size()));
}

void THttpCli::TunnelReply() {
  char buffer[4096];
  int count = socket_.Receive(buffer, sizeof buffer);
  if (count <= 0) return;
  tunnelReply_.append(buffer, static_cast<std::size_t>(count));
  std::size_t end = tunnelReply_.find("\r\n\r\n");
  if (end == std::string::npos) end = tunnelReply_.find("\n\n");
  if (end == std::string::npos) {
    if (tunnelReply_.size() > kTunnelReplyLimit) {
      FailTunnel(0, "proxy reply to CONNECT too long");
    }
    return;
  }
  std::string status = tunnelReply_.substr(0, tunnelReply_.find('\n'));
  if (!status.empty() && status.back() == '\r') status.pop_back();
  // "HTTP/1.x NNN reason"
  int code = 0;
  if (status.compare(0, 5, "HTTP/") == 0 && status.find(' ') != std::string::npos) {
    code = std::atoi(status.c_str() + status.find(' ') + 1);
  }
  if (code < 200 || code > 299) {
    std::string shown =
        status.substr(status.find(' ') == std::string::npos ? 0 : status.find(' ') + 1);
    return FailTunnel(code, "proxy refused the tunnel to " + TunnelTarget() + ": " +
                                (shown.empty() ? std::string("no status") : shown.substr(0, 200)));
  }
  tunnelReply_.clear();
  tunnel_ = TTunnel::Securing;
  connected_ = false;
  socket_.StartTls(TlsContext, target_.TargetHost, SplitUrl(TunnelTarget()).Port);
}

void THttpCli::FailTunnel(int status, const std::string& reason) {
  tunnel_ = TTunnel::None;
  tunnelReply_.clear();
  requestDoneError_ = kErrProxyTunnel;
  statusCode_ = status != 0 ? status : 404;
  reasonPhrase_ = reason;
  if (connected_) {
    CloseConnection();  // its close event ends the request
  } else {
    NormalSessionClosed();
  }
}

}  // namespace kestrix
