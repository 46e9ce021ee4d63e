#include "browser/web_engine_setup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QWebEngineUrlScheme>

#include <unistd.h>
#include <cstdlib>

namespace kestrix {
namespace {

bool HasSwitch(std::string_view flags, std::string_view name) {
  std::size_t pos = 0;
  while ((pos = flags.find(name, pos)) != std::string_view::npos) {
    const std::size_t end = pos + name.size();
    const bool starts = pos == 0 || flags[pos - 1] == ' ';
    const bool ends = end == flags.size() || flags[end] == ' ' || flags[end] == '=';
    if (starts && ends) return true;
    pos = end;
  }
  return false;
}

void AddSwitch(std::string& flags, std::string_view name) {
  if (HasSwitch(flags, name)) return;
  if (!flags.empty()) flags += ' ';
  flags += name;
}

bool HeadlessPlatform() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr) return false;
  const std::string_view name(platform);
  return name == "offscreen" || name == "minimal";
}

}  // namespace

std::string EngineFlags(std::string_view given, bool as_root, bool headless) {
  std::string flags(given);
  if (as_root) AddSwitch(flags, "--no-sandbox");
  if (headless) AddSwitch(flags, "--disable-gpu");
  AddSwitch(flags, "--disable-background-networking");
  // The engine drops a frame's navigations beyond 200 in 10 s; a page with
  // many script links resolved in a row needs every one of them.
  AddSwitch(flags, "--disable-ipc-flooding-protection");
  return flags;
}

void PrepareWebEngine() {
  const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const std::string flags = EngineFlags(given ? given : "", geteuid() == 0, HeadlessPlatform());
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  // The engine shares its drawing contexts with the application's; this can
  // be said only before the application object exists.
  if (QCoreApplication::instance() == nullptr) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  }

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
