// The module kestrix-cli-browser.so: hidden-browser script resolvers, for an
// application object made by kestrix-cli-gui.so.
#include "cli/browser_plugin.h"

#include "browser/script_executor.h"

extern "C" {

__attribute__((visibility("default"))) kestrix::ScriptResolver* kestrix_browser_make_resolver(
    const kestrix::OfflineState* offline) {
  // No analysis guard: the only work that must not run inside the
  // executor's waits is page analysis, and the download control already
  // holds back every worker completion that arrives while an analysis runs.
  return new kestrix::TScriptExecutor(*offline, nullptr);
}
}
