// Process-wide preparation of the web engine. Everything here must happen
// before the first web engine object of the process is made; the script
// executor does it on its first use, and a program that hosts other pages
// calls PrepareWebEngine() before it makes them.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The scheme the hidden page is served under; nothing else answers to it.
inline constexpr char kPageScheme[] = "kestrix-page";

// The engine's command-line switches: those already given, plus no sandbox
// when running as root (the engine refuses to start otherwise), no GPU on a
// headless platform, no background networking of the engine's own, and no
// cap on how many navigations a page may start.
std::string EngineFlags(std::string_view given, bool as_root, bool headless);

// Sets the engine's switches; called before the application object is
// made, it also sets the attribute the engine wants there. Needs nothing of
// the engine itself: a program that loads the engine later calls it at start.
void PrepareEngineFlags();

// PrepareEngineFlags(), and registers kPageScheme. Safe to call often.
void PrepareWebEngine();

}  // namespace kestrix
