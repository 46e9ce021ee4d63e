// Script links are resolved in a hidden browser page. The web engine is
// heavy to load and needs a GUI application object, so the command line
// makes that object only when a job of the project asks for scripts, and
// loads the engine, as a module, only when a link's code must run.
#pragma once

#include <memory>
#include <string>

#include "engine/download_control.h"

class QCoreApplication;

namespace kestrix {

class OfflineState;
class TJobList;

// Whether any job of `project` has checkLoadScript set.
bool ProjectNeedsScripts(const TJobList& store, const std::string& project);

class ScriptSupport {
 public:
  // With `scripts`, loads the module that makes the GUI application object;
  // when that fails, says so on stderr and goes on without the hidden
  // browser (script links then stay unresolved).
  explicit ScriptSupport(bool scripts);

  // A QGuiApplication when the module is loaded, else a QCoreApplication.
  // `argc` and `argv` must outlive it.
  std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) const;
  // The factory the engine calls when a link's code first needs running; it
  // loads the web engine then. Empty without the application module.
  // `offline` must outlive every resolver made.
  ScriptResolverFactory ResolverFactory(const OfflineState& offline) const;

 private:
  void* makeApplication_ = nullptr;
};

}  // namespace kestrix
