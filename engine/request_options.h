// The global options every request of ours carries: proxy with its
// credentials, the cache switch, the TLS trust settings and the agent. The
// download workers and the exploration test's fetcher share them, so that a
// page looks the same to both.
#pragma once

namespace kestrix {

class THttpCli;
struct TGlobalOptions;

void ApplyRequestOptions(THttpCli& client, const TGlobalOptions& options);

}  // namespace kestrix
