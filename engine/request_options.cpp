#include "engine/request_options.h"

#include <optional>
#include <stdexcept>
#include <string>

#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "http/http_client.h"
#include "http/streams.h"

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
  client.KeepAlive = options.KeepAlive;
  // The client reads every reply's framing and takes off its codings, so
  // that the file holds the document whatever the server sent.
  client.HttpVersion = options.UseHttp10 ? http10 : http11;
  client.DecodeBody = true;
  client.AcceptCompression = options.Compression && !options.UseHttp10;
  client.TlsSettings = {options.TlsAcceptUnverified, options.TlsCaFile};
  if (std::optional<std::string> agent = AgentText(options)) client.Agent = *agent;
}

void StartEntryRequest(THttpCli& client, const TRetriveRec& entry,
                       std::unique_ptr<TMemoryInStream>& body) {
  if (entry.RequestMethod != kMethodPost) {
    client.GetAsync();
    return;
  }
  if (entry.PostData.empty()) throw std::runtime_error("Nothing to post");
  body = std::make_unique<TMemoryInStream>(entry.PostData);
  client.ContentTypePost =
      entry.PostContentType.empty() ? std::string(kFormUrlEncoded) : entry.PostContentType.str();
  client.SendStream = body.get();
  client.PostAsync();
}

}  // namespace kestrix
