#include "cli/script_support.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QGuiApplication>

#include "core/job_list.h"
#include "core/offline_state.h"

#ifdef KESTRIX_HAVE_BROWSER
#include "browser/script_executor.h"
#include "browser/web_engine_setup.h"
#endif

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

std::unique_ptr<QCoreApplication> MakeApplication(bool scripts, int& argc, char** argv) {
#ifdef KESTRIX_HAVE_BROWSER
  if (scripts) {
    const bool display = std::getenv("DISPLAY") != nullptr ||
                         std::getenv("WAYLAND_DISPLAY") != nullptr ||
                         std::getenv("QT_QPA_PLATFORM") != nullptr;
    if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
    PrepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return std::make_unique<QGuiApplication>(argc, argv);
  }
#else
  (void)scripts;
#endif
  return std::make_unique<QCoreApplication>(argc, argv);
}

ScriptResolverFactory MakeScriptResolverFactory(bool scripts, const OfflineState& offline) {
#ifdef KESTRIX_HAVE_BROWSER
  if (scripts) {
    return [&offline] {
      return std::unique_ptr<ScriptResolver>(std::make_unique<TScriptExecutor>(offline, nullptr));
    };
  }
#else
  (void)scripts;
  (void)offline;
#endif
  return {};
}

}  // namespace kestrix
