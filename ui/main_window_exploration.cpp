// The main window's side of the links exploration test.
#include "ui/main_window.h"
#include "core/job_list.h"
#include "exploration/test_window.h"
#include "ui/dialog_provider.h"
#include "ui/job_grid.h"
#include "ui/user_prompts.h"

namespace kestrix {

void TfmMain::ShowTest() {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  if (test_ == nullptr) {
    TTestWindowHooks hooks;
    hooks.Tell = [this](QWidget* parent, const QString& text) {
      context_.Prompts.Tell(parent, text, TPromptIcon::Warning);
    };
    hooks.Ask = [this](QWidget* parent, const QString& text) {
      return context_.Prompts.Ask(parent, text, TPromptIcon::Confirmation);
    };
    hooks.EditJob = [this](QWidget* parent, TJobRecord& job) {
      return context_.Dialogs.EditJob(parent, job, false);
    };
    test_ = new TfmTest(context_.Options, std::move(hooks), this);
  }
  TJobRecord job;
  context_.Store.GetJob(runningProject_, row + 1, job);
  job.ProjectName = runningProject_;
  if (!test_->CreateNewThread(job, row + 1)) {
    context_.Prompts.Tell(test_, QString::fromLatin1(kConnectionOpenText), TPromptIcon::Warning);
  }
  test_->show();
  test_->raise();
  test_->activateWindow();
}

}  // namespace kestrix
