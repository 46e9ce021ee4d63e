// The global options every request of ours carries: proxy with its
// credentials, the cache switch, the TLS trust settings and the agent. The
// download workers and the exploration test's fetcher share them, so that a
// page looks the same to both.
#pragma once

#include <memory>

namespace kestrix {

class THttpCli;
class TMemoryInStream;
struct TGlobalOptions;
struct TRetriveRec;

void ApplyRequestOptions(THttpCli& client, const TGlobalOptions& options);

// Starts the entry's request: a GET, or a POST of the entry's body held in
// `body`, which must live until the request is done. Throws when the request
// cannot start ("Nothing to post", or the client's own refusal).
void StartEntryRequest(THttpCli& client, const TRetriveRec& entry,
                       std::unique_ptr<TMemoryInStream>& body);

}  // namespace kestrix
