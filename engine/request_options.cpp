#include "engine/request_options.h"

#include <optional>
#include <string>

#include "core/global_options.h"
#include "http/http_client.h"

namespace kestrix {

void ApplyRequestOptions(THttpCli& client, const TGlobalOptions& options) {
  if (options.ProxyFlag) {
    client.Proxy = options.ProxyHost + ":" + options.ProxyPort;
    if (!options.ProxyUser.empty() && !options.ProxyPswd.empty()) {
      client.ProxyUsername = options.ProxyUser;
      client.ProxyPassword = options.ProxyPswd;
    }
  } else {
    client.Proxy.clear();
  }
  client.NoCache = options.ProxyCach;
  client.TlsSettings = {options.TlsAcceptUnverified, options.TlsCaFile};
  if (std::optional<std::string> agent = AgentText(options)) client.Agent = *agent;
}

}  // namespace kestrix
