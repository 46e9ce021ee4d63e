#include "browser/web_engine_setup.h"

#include <QByteArray>
#include <QWebEngineUrlScheme>

namespace kestrix {

void PrepareWebEngine() {
  PrepareEngineFlags();

  // The registry of schemes is the engine's own process-wide state; asking it
  // keeps this call idempotent without a flag of ours.
  if (!QWebEngineUrlScheme::schemeByName(QByteArray(kPageScheme)).name().isEmpty()) return;
  QWebEngineUrlScheme scheme{QByteArray(kPageScheme)};
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  // Local: pages from the network may not reach it, and its own page may not
  // reach the network.
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
}

}  // namespace kestrix
