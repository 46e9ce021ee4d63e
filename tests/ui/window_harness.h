// The main window with everything the program would give it, in a scratch
// folder, and fakes for its dialogs and message boxes that record what
// they were asked and answer as told.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "links/html_parser.h"
#include "tests/support/scratch_dir.h"
#include "ui/dialog_provider.h"
#include "ui/engine_events.h"
#include "ui/main_window.h"
#include "ui/queue_model.h"
#include "ui/user_prompts.h"

namespace kestrix::test {

class TFakePrompts final : public UserPrompts {
 public:
  bool Ask(QWidget*, const QString& text, TPromptIcon,
           TPromptDefault preset = TPromptDefault::Yes) override;
  void Tell(QWidget*, const QString& text, TPromptIcon) override;

  std::vector<std::string> Texts;        // every question and message, in order
  std::vector<std::string> NoByDefault;  // the questions Enter answers with No
  bool Answer = true;
  std::function<void(const std::string&)> OnPrompt;
};

class TFakeDialogs final : public DialogProvider {
 public:
  bool EditJob(QWidget*, TJobRecord& job, bool isNew) override;
  // Ok with NewFolder as the download folder when one is set and may change.
  bool EditOptions(QWidget*, TGlobalOptions& options, bool folderLocked) override;
  bool AskProjectName(QWidget*, const std::vector<std::string>&, std::string& name) override;
  bool EditProjectList(QWidget*, const TGlobalOptions&, std::vector<TProject>&) override {
    return false;
  }
  bool AskSaveFileName(QWidget*, std::string& path) override;

  std::vector<std::string> JobUrls;        // the URL each job dialog was shown
  bool JobAnswer = true;                   // Ok (true) or Cancel in the job dialog
  std::deque<std::string> ProjectAnswers;  // names typed, in order; none: Cancel
  std::vector<std::string> SaveOffers;     // the file each save chooser was opened on
  std::string SaveAnswer;                  // the file chosen; empty: Cancel
  std::string NewFolder;                   // typed into the options; empty: Cancel
};

inline constexpr char kProject[] = "site";

class TWindowHarness {
 public:
  // A store with project kProject holding a job for each URL; `resolvers`
  // make the script resolvers (none: script links stay unresolved).
  explicit TWindowHarness(const std::vector<std::string>& jobUrls, int threads = 2,
                          ScriptResolverFactory resolvers = {});
  // The store of the settings file at `iniPath`, with `options`.
  TWindowHarness(const std::string& iniPath, const TGlobalOptions& options);
  ~TWindowHarness();

  // Runs the event loop until the download has ended; false on time-out.
  bool WaitIdle(int timeoutMs = 20000);

  TScratchDir Dir;
  std::string DownloadFolder;
  std::unique_ptr<IniFile> Ini;
  std::unique_ptr<TJobList> Store;
  TGlobalOptions Options;
  OfflineState Offline;
  TEngineState State;
  THTMLParser Parser;
  std::unique_ptr<TQueueModel> Model;
  std::unique_ptr<TEngineEvents> Events;
  std::unique_ptr<TDownloadControl> Control;
  TFakeDialogs Dialogs;
  TFakePrompts Prompts;
  ScriptResolverFactory Resolvers;
  std::unique_ptr<TfmMain> Window;
  std::vector<QUrl> Opened;  // what was handed to the desktop's programs
  bool OpenAnswer = true;    // whether the desktop has a program for it

 private:
  void Open();
};

}  // namespace kestrix::test
