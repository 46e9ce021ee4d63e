#include "tests/ui/window_harness.h"

#include "tests/support/event_wait.h"

namespace kestrix::test {

bool TFakePrompts::Ask(QWidget*, const QString& text, TPromptIcon, TPromptDefault preset) {
  Texts.push_back(text.toStdString());
  if (preset == TPromptDefault::No) NoByDefault.push_back(Texts.back());
  if (OnPrompt) OnPrompt(Texts.back());
  return Answer;
}

void TFakePrompts::Tell(QWidget*, const QString& text, TPromptIcon) {
  Texts.push_back(text.toStdString());
  if (OnPrompt) OnPrompt(Texts.back());
}

bool TFakeDialogs::EditJob(QWidget*, TJobRecord& job, bool) {
  JobUrls.push_back(job.editUrl);
  return JobAnswer;
}

bool TFakeDialogs::EditOptions(QWidget*, TGlobalOptions& options, bool folderLocked) {
  if (NewFolder.empty() || folderLocked) return false;
  options.DownLoadFolder = NewFolder;
  return true;
}

bool TFakeDialogs::AskProjectName(QWidget*, const std::vector<std::string>&, std::string& name) {
  if (ProjectAnswers.empty()) return false;
  name = ProjectAnswers.front();
  ProjectAnswers.pop_front();
  return true;
}

bool TFakeDialogs::AskSaveFileName(QWidget*, std::string& path) {
  SaveOffers.push_back(path);
  if (SaveAnswer.empty()) return false;
  path = SaveAnswer;
  return true;
}

TWindowHarness::TWindowHarness(const std::vector<std::string>& jobUrls, int threads,
                               ScriptResolverFactory resolvers)
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

TWindowHarness::TWindowHarness(const std::string& iniPath, const TGlobalOptions& options)
    : DownloadFolder(options.DownLoadFolder),
      Ini(std::make_unique<IniFile>(iniPath)),
      Store(std::make_unique<TJobList>(*Ini)),
      Options(options) {
  Open();
}

void TWindowHarness::Open() {
  Model = std::make_unique<TQueueModel>(State.Queue);
  Events = std::make_unique<TEngineEvents>(*Model);
  Control = std::make_unique<TDownloadControl>(
      TEngineContext{Options, *Store, State, Parser, *Events, Resolvers});
  Window = std::make_unique<TfmMain>(
      TMainWindowContext{*Ini, *Store, Options, Offline, State, *Control, *Events, *Model, Dialogs,
                         Prompts, Dir.Path() + "Help/none.html", [this](const QUrl& url) {
                           Opened.push_back(url);
                           return OpenAnswer;
                         }});
  Window->show();
}

TWindowHarness::~TWindowHarness() {
  if (Control->IsBusy()) Control->StopDownload();
  Window.reset();
  Control.reset();
}

bool TWindowHarness::WaitIdle(int timeoutMs) {
  return RunUntil([this] { return !Control->IsBusy(); }, timeoutMs);
}

}  // namespace kestrix::test
