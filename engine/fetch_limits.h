// How far a worker goes with one entry before it gives up on it.
#pragma once

#include "http/socket_errors.h"

namespace kestrix {

// A worker gives up on one entry after this many retries, and on one request
// after this many relocations; without the caps a server that keeps failing
// or redirects in a circle would hold a worker for good.
inline constexpr int kMaxRetries = 5;
inline constexpr int kMaxRelocations = 20;
// Recorded for an entry whose relocations ran in a circle or too long: the
// loop error of the socket layer, whose text names a loop.
inline constexpr int kRelocationLoopError = WSAELOOP;
// Recorded for an entry that the site's robots.txt disallows: it was never
// requested. Not a socket's code, so no other failure shares it.
inline constexpr int kRobotsRefusedError = 12040;
// A request stopped at a relocation whose target must pass the site gate
// first (another site's robots.txt): its worker asks anew. Never recorded.
inline constexpr int kRelocationHeld = 12041;

}  // namespace kestrix
