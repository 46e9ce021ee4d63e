// Script links are resolved in a hidden browser page. The web engine is
// heavy to load and needs a GUI application object, so the command line
// loads it, as a module, only when a job of the project asks for scripts.
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
  // With `scripts`, loads the browser module; when that fails, says so on
  // stderr and goes on without it (script links then stay unresolved).
  explicit ScriptSupport(bool scripts);

  bool Available() const { return makeResolver_ != nullptr; }

  // A QGuiApplication made by the browser module when it is loaded, else a
  // QCoreApplication. `argc` and `argv` must outlive it.
  std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) const;
  // The factory the engine calls on the first page that needs scripts; empty
  // without the module. `offline` must outlive every resolver made.
  ScriptResolverFactory ResolverFactory(const OfflineState& offline) const;

 private:
  void* makeApplication_ = nullptr;
  void* makeResolver_ = nullptr;
};

}  // namespace kestrix
