// The module kestrix-cli-browser.so: the two entry points of browser_plugin.h
// over the hidden browser library.
#include "cli/browser_plugin.h"

#include <cstdlib>

#include <QGuiApplication>

#include "browser/script_executor.h"
#include "browser/web_engine_setup.h"

extern "C" {

__attribute__((visibility("default"))) QCoreApplication* kestrix_browser_make_application(
    int* argc, char** argv) {
  const bool display = std::getenv("DISPLAY") != nullptr ||
                       std::getenv("WAYLAND_DISPLAY") != nullptr ||
                       std::getenv("QT_QPA_PLATFORM") != nullptr;
  if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The engine reports its GL set-up on every start; that is no news for
  // someone mirroring a site.
  if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES")) {
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
  }
  kestrix::PrepareWebEngine();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return new QGuiApplication(*argc, argv);
}

__attribute__((visibility("default"))) kestrix::ScriptResolver* kestrix_browser_make_resolver(
    const kestrix::OfflineState* offline) {
  // No analysis guard: the only work that must not run inside the
  // executor's waits is page analysis, and the download control already
  // holds back every worker completion that arrives while an analysis runs.
  return new kestrix::TScriptExecutor(*offline, nullptr);
}
}
