#include "cli/script_support.h"

#include <dlfcn.h>

#include <QCoreApplication>

#include "cli/browser_plugin.h"
#include "cli/cli_session.h"
#include "core/app_paths.h"
#include "core/job_list.h"
#include "links/script_resolver.h"

namespace kestrix {

bool ProjectNeedsScripts(const TJobList& store, const std::string& project) {
  const int count = store.JobCount(project);
  for (int job = 1; job <= count; ++job) {
    TJobRecord record;
    store.GetJob(project, job, record);
    if (record.checkLoadScript) return true;
  }
  return false;
}

ScriptSupport::ScriptSupport(bool scripts) {
  if (!scripts) return;
  std::string path = ExecutablePath();
  path = path.substr(0, path.rfind('/') + 1) + kBrowserModuleFile;
  // The module stays loaded until the process ends: the resolver's code lives
  // in it.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module != nullptr) {
    makeApplication_ = dlsym(module, kMakeApplicationSymbol);
    makeResolver_ = dlsym(module, kMakeResolverSymbol);
  }
  if (makeApplication_ == nullptr || makeResolver_ == nullptr) {
    const char* why = dlerror();
    ReportError("warning: links made by scripts stay unresolved: the hidden browser (" + path +
                ") cannot be loaded" + (why != nullptr ? std::string(": ") + why : std::string()));
    makeApplication_ = makeResolver_ = nullptr;
  }
}

std::unique_ptr<QCoreApplication> ScriptSupport::MakeApplication(int& argc, char** argv) const {
  if (makeApplication_ != nullptr) {
    auto make = reinterpret_cast<KestrixMakeApplicationFn>(makeApplication_);
    return std::unique_ptr<QCoreApplication>(make(&argc, argv));
  }
  return std::make_unique<QCoreApplication>(argc, argv);
}

ScriptResolverFactory ScriptSupport::ResolverFactory(const OfflineState& offline) const {
  if (makeResolver_ == nullptr) return {};
  auto make = reinterpret_cast<KestrixMakeResolverFn>(makeResolver_);
  return [make, &offline] { return std::unique_ptr<ScriptResolver>(make(&offline)); };
}

}  // namespace kestrix
