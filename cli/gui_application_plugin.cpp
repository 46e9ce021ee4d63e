// The module kestrix-cli-gui.so: the GUI application object the web engine
// needs, without the engine itself.
#include <QGuiApplication>

#include "cli/browser_plugin.h"

extern "C" {

__attribute__((visibility("default"))) QCoreApplication* kestrix_browser_make_application(
    int* argc, char** argv) {
  // A hidden page is never shown, so a command-line run never needs the
  // user's display; the engine then also renders without the GPU.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The engine reports its GL set-up on every start; that is no news for
  // someone mirroring a site.
  if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES")) {
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
  }
  // The engine, loaded later, shares its drawing contexts with the
  // application's; this can be said only before the application exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return new QGuiApplication(*argc, argv);
}
}
