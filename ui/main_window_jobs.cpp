// The main window's project and job commands.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QTableWidget>
#include <algorithm>

#include "core/global_options.h"
#include "core/job_list.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/history_file.h"
#include "ui/dialog_provider.h"
#include "ui/entry_checks.h"
#include "ui/job_grid.h"
#include "ui/main_window.h"
#include "ui/queue_model.h"
#include "ui/user_prompts.h"

namespace kestrix {
namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

bool TfmMain::HasProject() const {
  return context_.Store.FindProject(combo_->currentText().toStdString()) >= 0;
}

int TfmMain::JobCount() const {
  return context_.Store.JobCount(runningProject_);
}

void TfmMain::UpdateCommandStates() {
  const bool project = HasProject();
  const bool jobs = JobCount() > 0;
  for (const char* name : {"btnDeleteProject", "btnAddJob", "itmNewJob"}) {
    Action(QString::fromLatin1(name))->setEnabled(project);
  }
  for (const char* name :
       {"btnJobProp", "btnPreview", "btnTest", "btnDownLoad", "btnStop", "btnClear", "itmEditJob",
        "itmDeleteJob", "itmStartAll", "itmStartLink"}) {
    Action(QString::fromLatin1(name))->setEnabled(jobs);
  }
  const QString clip = QGuiApplication::clipboard()->text();
  Action(QStringLiteral("itmPasteJob"))->setEnabled(project && !clip.isEmpty());
}

void TfmMain::FillProjects(const QString& select) {
  const QSignalBlocker block(combo_);
  combo_->clear();
  for (const std::string& name : context_.Store.ProjectNames()) combo_->addItem(Text(name));
  combo_->setCurrentIndex(combo_->findText(select));
}

void TfmMain::FillJobGrid() {
  std::vector<TJobRecord> jobs(static_cast<size_t>(JobCount()));
  for (size_t i = 0; i < jobs.size(); ++i) {
    context_.Store.GetJob(runningProject_, static_cast<int>(i) + 1, jobs[i]);
  }
  jobs_->ShowJobs(jobs);
  ShowJobHints();
}

std::vector<QString> TfmMain::StateTexts() const {
  std::vector<QString> states;
  states.reserve(static_cast<size_t>(std::max(0, jobs_->rowCount())));
  for (int row = 0; row < jobs_->rowCount(); ++row) states.push_back(jobs_->StateText(row));
  return states;
}

void TfmMain::SetStateTexts(const std::vector<QString>& states) {
  for (size_t row = 0; row < states.size(); ++row) {
    jobs_->SetStateText(static_cast<int>(row), states[row]);
  }
}

bool TfmMain::RefuseWhileBusy() {
  if (!context_.Control.IsBusy()) return false;
  {
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(combo_->findText(Text(runningProject_)));
  }
  if (context_.Prompts.Ask(
          this,
          QStringLiteral("Stop download project  ") + Text(runningProject_) + QStringLiteral("  ?"),
          TPromptIcon::Warning)) {
    StopDownload();
  }
  return true;
}

void TfmMain::ChangeProject(const QString& name) {
  if (RefuseWhileBusy()) return;
  {
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(combo_->findText(name));
  }
  runningProject_ = combo_->currentText().toStdString();
  FillJobGrid();
  UpdateCommandStates();
  if (runningProject_.empty()) {
    context_.Control.CloseProject();
  } else {
    context_.Control.OpenProject(runningProject_);
  }
  context_.Control.ShowQueueStatus();
}

void TfmMain::NewProject() {
  if (RefuseWhileBusy()) return;
  std::string name;
  if (!context_.Dialogs.AskProjectName(this, context_.Store.ProjectNames(), name)) return;
  name = Trimmed(name);
  std::string error = ProjectNameProblem(name);
  if (error.empty() && context_.Store.FindProject(name) >= 0) {
    error = "Project \"" + name + "\" already exists.";
  }
  if (error.empty()) error = context_.Store.AddProject(name);
  if (error.empty()) error = context_.Store.Save();
  if (!error.empty()) {
    context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
    return;
  }
  FillProjects(Text(name));
  ChangeProject(Text(name));
}

void TfmMain::EditProjectList() {
  if (RefuseWhileBusy()) return;
  const QString remembered = combo_->currentText();
  context_.Store.Save();
  std::vector<TProject> projects = context_.Store.Projects();
  if (!context_.Dialogs.EditProjectList(this, context_.Options, projects)) return;
  std::string error;
  for (const TProject& project : projects) {
    if (error.empty()) error = ProjectNameProblem(project.Name);
  }
  if (error.empty()) error = context_.Store.SetProjects(std::move(projects));
  if (error.empty()) error = context_.Store.Save();
  if (!error.empty()) context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
  FillProjects(remembered);
  ChangeProject(combo_->currentText());
}

void TfmMain::DeleteProject() {
  const int index = combo_->currentIndex();
  if (index < 0) return;
  if (!context_.Prompts.Ask(this,
                            QStringLiteral("Delete project ") + Text(runningProject_) +
                                QStringLiteral(" and related jobs ?"),
                            TPromptIcon::Confirmation, TPromptDefault::No)) {
    return;
  }
  if (RefuseWhileBusy()) return;
  // Downloaded files and the history stay on disk.
  context_.Store.RemoveProject(combo_->itemText(index).toStdString());
  context_.Store.Save();
  const std::vector<std::string> names = context_.Store.ProjectNames();
  const int next = std::min(index, static_cast<int>(names.size()) - 1);
  FillProjects(next >= 0 ? Text(names[static_cast<size_t>(next)]) : QString());
  ChangeProject(combo_->currentText());
}

bool TfmMain::NewJob(const QString& url) {
  if (!HasProject()) return false;
  TJobRecord record;
  InitJobRecord(record);
  record.ProjectName = runningProject_;
  if (!url.isNull()) record.editUrl = Trimmed(url.toStdString());
  if (!context_.Dialogs.EditJob(this, record, true)) return false;
  record.ProjectName = runningProject_;
  record.editUrl = Trimmed(record.editUrl);
  std::string error = JobUrlProblem(record.editUrl);
  if (error.empty()) error = context_.Store.AddJob(record);
  if (error.empty()) error = context_.Store.Save();
  if (!error.empty()) {
    context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
    return true;
  }
  const std::vector<QString> states = StateTexts();
  FillJobGrid();
  SetStateTexts(states);
  jobs_->SelectRow(JobCount() - 1);
  UpdateCommandStates();
  return true;
}

void TfmMain::EditJob() {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  TJobRecord record;
  context_.Store.GetJob(runningProject_, row + 1, record);
  if (!context_.Dialogs.EditJob(this, record, false)) return;
  record.ProjectName = runningProject_;
  record.editUrl = Trimmed(record.editUrl);
  std::string error = JobUrlProblem(record.editUrl);
  if (error.empty() && !context_.Store.UpdateJob(runningProject_, row + 1, record)) {
    error = "The job could not be stored.";
  }
  if (error.empty()) error = context_.Store.Save();
  if (!error.empty()) {
    context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
    return;
  }
  const QString state = jobs_->StateText(row);
  jobs_->WriteRow(row, record);
  jobs_->SetStateText(row, state);
}

void TfmMain::EditJobUrl(int row, const QString& url) {
  if (row < 0 || row >= JobCount()) return;
  TJobRecord record;
  context_.Store.GetJob(runningProject_, row + 1, record);
  const std::string edited = Trimmed(url.toStdString());
  const QString state = jobs_->StateText(row);
  if (std::string error = JobUrlProblem(edited); !error.empty()) {
    context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
  } else {
    record.editUrl = edited;
    context_.Store.UpdateJob(runningProject_, row + 1, record);
    context_.Store.Save();
  }
  jobs_->WriteRow(row, record);
  jobs_->SetStateText(row, state);
}

void TfmMain::DeleteJob(bool ask) {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  if (ask && !context_.Prompts.Ask(this, QStringLiteral("Delete curren job ?"),
                                   TPromptIcon::Information, TPromptDefault::No)) {
    return;
  }
  std::vector<QString> states = StateTexts();
  context_.Store.RemoveJob(runningProject_, row + 1);
  context_.Store.Save();
  // Entries of the jobs behind it keep their own job's settings when the
  // history is read back.
  context_.Control.RenumberJobs([row](int job) { return JobNumberAfterRemoval(job, row + 1); });
  states.erase(states.begin() + row);
  FillJobGrid();
  SetStateTexts(states);
  jobs_->SelectRow(std::min(row, jobs_->rowCount() - 1));
  UpdateCommandStates();
}

void TfmMain::PasteJob() {
  const QString text = QGuiApplication::clipboard()->text().trimmed();
  if (text.isEmpty()) return;
  if (std::string error = JobUrlProblem(text.toStdString()); !error.empty()) {
    context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
    return;
  }
  NewJob(text);
}

void TfmMain::DropUrls(const QStringList& urls) {
  if (!HasProject()) {
    context_.Prompts.Tell(this, QStringLiteral("Choose or make a project for the dropped links."),
                          TPromptIcon::Information);
    return;
  }
  for (qsizetype i = 0; i < urls.size(); ++i) {
    const QString& url = urls[i];
    if (std::string error = JobUrlProblem(url.toStdString()); !error.empty()) {
      context_.Prompts.Tell(this, Text(error), TPromptIcon::Warning);
      continue;
    }
    // A dialog cancelled in a long series of dropped links may mean "stop".
    const qsizetype left = urls.size() - i - 1;
    if (!NewJob(url) && left > 0 &&
        !context_.Prompts.Ask(this,
                              QStringLiteral("Go on with the %1 other dropped link(s) ?").arg(left),
                              TPromptIcon::Confirmation)) {
      return;
    }
  }
}

void TfmMain::MoveJob(int from, int to) {
  const int count = JobCount();
  if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
  if (!context_.Store.MoveJob(runningProject_, from + 1, to + 1)) return;
  context_.Store.Save();
  // Queued entries name their job by number: they must follow it.
  context_.Control.RenumberJobs(
      [from, to](int job) { return JobNumberAfterMove(job, from + 1, to + 1); });
  std::vector<QString> states = StateTexts();
  const QString moved = states[static_cast<size_t>(from)];
  states.erase(states.begin() + from);
  states.insert(states.begin() + to, moved);
  FillJobGrid();
  SetStateTexts(states);
  jobs_->SelectRow(to);
}

}  // namespace kestrix
