// The main window's side of the links exploration test.
#include "core/job_list.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "exploration/explorer_window.h"
#include "links/deferred_script_resolver.h"
#include "links/html_parser.h"
#include "ui/dialog_provider.h"
#include "ui/find_dialog.h"
#include "ui/job_grid.h"
#include "ui/main_window.h"
#include "ui/queue_view.h"
#include "ui/user_prompts.h"
#include "ui/web_parts.h"

namespace kestrix {

void TfmMain::ShowTest() {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  TJobRecord job;
  context_.Store.GetJob(runningProject_, row + 1, job);
  job.ProjectName = runningProject_;
  OpenTest(job, row + 1);
}

void TfmMain::ExploreEntry(int row) {
  if (row < 0 || row >= context_.State.Queue.Count()) return;
  // The entry's own URL and remaining depth, with its job's settings.
  const TRetriveRec& entry = context_.State.Queue.Entry(row);
  TJobRecord job = entry.Job.Record();
  if (job.ProjectName.empty()) job.ProjectName = runningProject_;
  OpenTest(job, entry.JobNumber);
}

void TfmMain::OpenTest(const TJobRecord& job, int jobNumber) {
  if (test_ == nullptr) {
    if (Web() == nullptr) return;
    TExplorerWindowHooks hooks;
    hooks.Tell = [this](QWidget* parent, const QString& text) {
      context_.Prompts.Tell(parent, text, TPromptIcon::Warning);
    };
    hooks.Ask = [this](QWidget* parent, const QString& text) {
      return context_.Prompts.Ask(parent, text, TPromptIcon::Confirmation);
    };
    hooks.EditJob = [this](QWidget* parent, TJobRecord& edited) {
      return context_.Dialogs.EditJob(parent, edited, false);
    };
    hooks.SaveFileName = [this](QWidget* parent, const QString& suggested) {
      std::string path = suggested.toStdString();
      return context_.Dialogs.AskSaveFileName(parent, path) ? QString::fromStdString(path)
                                                            : QString();
    };
    hooks.FindInGrid = [this](QWidget* parent, QAbstractItemView& grid) {
      TfmFind dialog(grid, context_.Prompts, parent);
      dialog.exec();
    };
    hooks.FindText = [this](QWidget* parent, QTextEdit& text) {
      TfmFind dialog(text, context_.Prompts, parent);
      dialog.exec();
    };
    hooks.Offline = &context_.Offline;
    hooks.Settings = &context_.Ini;
    // Script links are resolved as a download resolves them, by a resolver
    // and a parser of the window's own: the engine's may be in the middle of
    // a page of the download.
    testParser_ = std::make_unique<THTMLParser>();
    testResolver_ =
        std::make_unique<DeferredScriptResolver>(context_.Control.Context().MakeScriptResolver);
    test_ = web_->MakeTest(context_.Options, *testParser_, *testResolver_, std::move(hooks), this);
  }
  if (!web_->StartTest(*test_, job, jobNumber)) {
    context_.Prompts.Tell(test_, QString::fromLatin1(kConnectionOpenText), TPromptIcon::Warning);
  }
  // A minimised window is brought back, not left on the task bar.
  if (test_->isMinimized()) test_->setWindowState(test_->windowState() & ~Qt::WindowMinimized);
  test_->show();
  test_->raise();
  test_->activateWindow();
}

}  // namespace kestrix
