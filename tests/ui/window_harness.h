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
  bool Ask(QWidget*, const QString& text, TPromptIcon) override;
  void Tell(QWidget*, const QString& text, TPromptIcon) override;

  std::vector<std::string> Texts;  // every question and message, in order
  bool Answer = true;
  std::function<void(const std::string&)> OnPrompt;
};

class TFakeDialogs final : public DialogProvider {
 public:
  bool EditJob(QWidget*, TJobRecord& job, bool isNew) override;
  bool EditOptions(QWidget*, TGlobalOptions&) override { return false; }
  bool AskProjectName(QWidget*, const std::vector<std::string>&, std::string& name) override;
  bool EditProjectList(QWidget*, const TGlobalOptions&, std::vector<TProject>&) override {
    return false;
  }
  bool AskSaveFileName(QWidget*, std::string& path) override;

  std::vector<std::string> JobUrls;        // the URL each job dialog was shown
  std::deque<std::string> ProjectAnswers;  // names typed, in order; none: Cancel
  std::vector<std::string> SaveOffers;     // the file each save chooser was opened on
  std::string SaveAnswer;                  // the file chosen; empty: Cancel
};

inline constexpr char kProject[] = "site";

class TWindowHarness {
 public:
  // A store with project kProject holding a job for each URL.
  explicit TWindowHarness(const std::vector<std::string>& jobUrls, int threads = 2);
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
  std::unique_ptr<TfmMain> Window;

 private:
  void Open();
};

}  // namespace kestrix::test
