// The hidden browser as a module that kestrix-cli loads only when a job asks
// for scripts. Linking the web engine into the program would cost every run
// some 35 MB of memory and most of its start-up time, scripts or not.
#pragma once

class QCoreApplication;

namespace kestrix {
class OfflineState;
class ScriptResolver;
}  // namespace kestrix

extern "C" {
// Prepares the web engine and makes the GUI application object it needs (on
// the offscreen platform when no display is reachable). `argc` and `argv`
// must outlive the object.
using KestrixMakeApplicationFn = QCoreApplication* (*)(int* argc, char** argv);
// Makes a hidden-browser script resolver; `offline` must outlive it.
using KestrixMakeResolverFn = kestrix::ScriptResolver* (*)(const kestrix::OfflineState* offline);
}

namespace kestrix {

// The module's file name; it lies beside kestrix-cli.
inline constexpr char kBrowserModuleFile[] = "kestrix-cli-browser.so";
inline constexpr char kMakeApplicationSymbol[] = "kestrix_browser_make_application";
inline constexpr char kMakeResolverSymbol[] = "kestrix_browser_make_resolver";

}  // namespace kestrix
