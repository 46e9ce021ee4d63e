// The engine's switches and the application's attribute: what a program
// that loads the web engine later says before its application exists. Kept
// apart from the scheme's registration, so that such a program need not
// link the engine to say it.
#include <QCoreApplication>

#include <unistd.h>
#include <cstdlib>

#include "browser/web_engine_setup.h"

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

void PrepareEngineFlags() {
  const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const std::string flags = EngineFlags(given ? given : "", geteuid() == 0, HeadlessPlatform());
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  // The engine shares its drawing contexts with the application's; this can
  // be said only before the application object exists.
  if (QCoreApplication::instance() == nullptr) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  }
}

}  // namespace kestrix
