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
#include "tests/support/event_wait.h"
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
           TPromptDefault preset = TPromptDefault::Yes) override {
    Tell(nullptr, text, TPromptIcon{});
    if (preset == TPromptDefault::No) NoByDefault.push_back(Texts.back());
    return Answer;
  }
  void Tell(QWidget*, const QString& text, TPromptIcon) override {
    Texts.push_back(text.toStdString());
    if (OnPrompt) OnPrompt(Texts.back());
  }

  std::vector<std::string> Texts;        // every question and message, in order
  std::vector<std::string> NoByDefault;  // the questions Enter answers with No
  bool Answer = true;
  std::function<void(const std::string&)> OnPrompt;
};

class TFakeDialogs final : public DialogProvider {
 public:
  bool EditJob(QWidget*, TJobRecord& job, bool) override {
    JobUrls.push_back(job.editUrl);
    return JobAnswer;
  }
  // Ok with NewFolder as the download folder when one is set and may change.
  bool EditOptions(QWidget*, TGlobalOptions& options, bool folderLocked) override {
    if (NewFolder.empty() || folderLocked) return false;
    options.DownLoadFolder = NewFolder;
    return true;
  }
  bool AskProjectName(QWidget*, const std::vector<std::string>&, std::string& name) override {
    if (ProjectAnswers.empty()) return false;
    name = ProjectAnswers.front();
    ProjectAnswers.pop_front();
    return true;
  }
  bool EditProjectList(QWidget*, const TGlobalOptions&, std::vector<TProject>&) override {
    return false;
  }
  bool AskSaveFileName(QWidget*, std::string& path) override {
    SaveOffers.push_back(path);
    if (SaveAnswer.empty()) return false;
    path = SaveAnswer;
    return true;
  }

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
                          ScriptResolverFactory resolvers = {})
      : Resolvers(std::move(resolvers)) {
    DownloadFolder = Dir.Path() + "downloads/";
    Ini = std::make_unique<IniFile>(Dir.Path() + "kestrix.ini");
    Store = std::make_unique<TJobList>(*Ini);
    Store->AddProject(kProject);
    for (const std::string& url : jobUrls) {
      TJobRecord job;
      InitJobRecord(job);
      job.ProjectName = kProject;
      job.editUrl = url;
      job.editDepth = 3;
      Store->AddJob(job);
    }
    Options.DownLoadFolder = DownloadFolder;
    Options.ThreadCount = threads;
    Options.TimeOut = 10;
    Open();
  }
  // The store of the settings file at `iniPath`, with `options`.
  TWindowHarness(const std::string& iniPath, const TGlobalOptions& options)
      : DownloadFolder(options.DownLoadFolder),
        Ini(std::make_unique<IniFile>(iniPath)),
        Store(std::make_unique<TJobList>(*Ini)),
        Options(options) {
    Open();
  }
  ~TWindowHarness() {
    if (Control->IsBusy()) Control->StopDownload();
    Window.reset();
    Control.reset();
  }

  // Runs the event loop until the download has ended; false on time-out.
  bool WaitIdle(int timeoutMs = 20000) {
    return RunUntil([this] { return !Control->IsBusy(); }, timeoutMs);
  }

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
  void Open() {
    Model = std::make_unique<TQueueModel>(State.Queue);
    Events = std::make_unique<TEngineEvents>(*Model);
    Control = std::make_unique<TDownloadControl>(
        TEngineContext{Options, *Store, State, Parser, *Events, Resolvers});
    Window = std::make_unique<TfmMain>(TMainWindowContext{
        *Ini, *Store, Options, Offline, State, *Control, *Events, *Model, Dialogs, Prompts,
        Dir.Path() + "Help/none.html", [this](const QUrl& url) {
          Opened.push_back(url);
          return OpenAnswer;
        }});
    Window->show();
  }
};

}  // namespace kestrix::test
