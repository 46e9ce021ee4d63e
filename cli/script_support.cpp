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

namespace {

std::string ModulePath(const char* file) {
  const std::string program = ExecutablePath();
  return program.substr(0, program.rfind('/') + 1) + file;
}

// The module stays loaded until the process ends: what it made lives in it.
void* LoadSymbol(const char* file, const char* symbol, const std::string& consequence) {
  const std::string path = ModulePath(file);
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* found = module != nullptr ? dlsym(module, symbol) : nullptr;
  if (found == nullptr) {
    const char* why = dlerror();
    ReportError("warning: " + consequence + ": " + path + " cannot be loaded" +
                (why != nullptr ? std::string(": ") + why : std::string()));
  }
  return found;
}

constexpr char kUnresolved[] = "links made by scripts stay unresolved";

}  // namespace

ScriptSupport::ScriptSupport(bool scripts) {
  if (scripts)
    makeApplication_ = LoadSymbol(kApplicationModuleFile, kMakeApplicationSymbol, kUnresolved);
}

std::unique_ptr<QCoreApplication> ScriptSupport::MakeApplication(int& argc, char** argv) const {
  if (makeApplication_ != nullptr) {
    auto make = reinterpret_cast<KestrixMakeApplicationFn>(makeApplication_);
    return std::unique_ptr<QCoreApplication>(make(&argc, argv));
  }
  return std::make_unique<QCoreApplication>(argc, argv);
}

ScriptResolverFactory ScriptSupport::ResolverFactory(const OfflineState& offline) const {
  if (makeApplication_ == nullptr) return {};
  return [&offline]() -> std::unique_ptr<ScriptResolver> {
    void* symbol = LoadSymbol(kBrowserModuleFile, kMakeResolverSymbol, kUnresolved);
    if (symbol == nullptr) return nullptr;
    auto make = reinterpret_cast<KestrixMakeResolverFn>(symbol);
    return std::unique_ptr<ScriptResolver>(make(&offline));
  };
}

}  // namespace kestrix
