// kestrix: the desktop program. The composition root: the settings file,
// the store, the options, the engine and the hidden browser are made here in
// order, handed to the main window, and freed in reverse.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <memory>

#include "core/app_paths.h"
#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/single_instance.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "links/html_parser.h"
#include "links/script_resolver.h"
#include "ui/dialogs.h"
#include "ui/engine_events.h"
#include "ui/main_window.h"
#include "ui/queue_model.h"
#include "ui/user_prompts.h"
#include "ui/web_parts.h"

#ifdef KESTRIX_WITH_BROWSER
#include "browser/web_engine_setup.h"
#endif

using namespace kestrix;

int main(int argc, char** argv) {
#ifdef KESTRIX_WITH_BROWSER
  // The web engine's switches can only be given before the application; the
  // engine itself is loaded with the web parts, when first needed.
  PrepareEngineFlags();
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrix"));
  QApplication::setApplicationVersion(QStringLiteral(KESTRIX_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("kestrix"));

  // The same lock as the command line's: one instance per user.
  const SingleInstance instance(SingleInstance::DefaultLockPath(ProcessEnv));
  if (!instance.IsFirstInstance()) {
    QMessageBox::warning(nullptr, QStringLiteral("Kestrix"),
                         QString::fromUtf8(kAlreadyRunningText.data(),
                                           static_cast<qsizetype>(kAlreadyRunningText.size())));
    return 4;
  }

  const std::string executable = ExecutablePath();
  IniFile ini(SettingsFilePath(executable, ProcessEnv));
  TJobList store(ini);
  TGlobalOptions options = ReadOptions(ini, DefaultDownloadFolder(ProcessEnv));
  OfflineState offline;
  offline.SetGlobalOffline(options.GlobalOfflineFlag);
  TEngineState state;
  THTMLParser parser;
  TQueueModel queueModel(state.Queue);
  TEngineEvents events(queueModel);
  ScriptResolverFactory resolvers;
#ifdef KESTRIX_WITH_BROWSER
  resolvers = [&offline]() -> std::unique_ptr<ScriptResolver> {
    // Without the web parts, links made by scripts stay unresolved.
    const WebParts* web = TheWebParts();
    return web != nullptr ? web->MakeResolver(offline) : nullptr;
  };
#endif
  int status = 0;
  {
    TDownloadControl control({options, store, state, parser, events, resolvers});
    TDialogs dialogs(ini, offline);
    MessageBoxPrompts prompts;
    const std::string folder = executable.substr(0, executable.rfind('/') + 1);
    TfmMain window({ini, store, options, offline, state, control, events, queueModel, dialogs,
                    prompts, folder + "Help/Kestrix.html", TOpenUrl()});
    for (const std::string& problem : store.LoadErrors()) {
      prompts.Tell(nullptr, QString::fromStdString(problem), TPromptIcon::Warning);
    }
    window.show();
    status = QApplication::exec();
  }
  return status;
}
