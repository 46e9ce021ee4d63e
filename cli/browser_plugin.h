// The hidden browser comes in two modules that kestrix-cli loads only for
// projects with a job that asks for scripts. Linking the web engine into the
// program would cost every run some 35 MB of memory and most of its start-up
// time, scripts or not; and even such a project needs the engine only once a
// link's code must run, which many sites never ask for. So the small module
// makes the GUI application object the engine needs, at start; the large one
// is loaded when the first resolver is made.
#pragma once

class QCoreApplication;

namespace kestrix {
class OfflineState;
class ScriptResolver;
}  // namespace kestrix

extern "C" {
// Makes the GUI application object the web engine needs, on the offscreen
// platform unless the user chose one. `argc` and `argv` must outlive it.
using KestrixMakeApplicationFn = QCoreApplication* (*)(int* argc, char** argv);
// Makes a hidden-browser script resolver; `offline` must outlive it.
using KestrixMakeResolverFn = kestrix::ScriptResolver* (*)(const kestrix::OfflineState* offline);
}

namespace kestrix {

// The modules' file names; they lie beside kestrix-cli.
inline constexpr char kApplicationModuleFile[] = "kestrix-cli-gui.so";
inline constexpr char kBrowserModuleFile[] = "kestrix-cli-browser.so";
inline constexpr char kMakeApplicationSymbol[] = "kestrix_browser_make_application";
inline constexpr char kMakeResolverSymbol[] = "kestrix_browser_make_resolver";

}  // namespace kestrix
