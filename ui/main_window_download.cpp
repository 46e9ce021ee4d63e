// The main window's download commands and what it shows of the engine's
// work. Commands the user gives while the window is inside a call to the
// engine (a stop waits for its workers in a nested event loop; a link's
// script runs in one) are held back and run after that call: run inside
// it, they would enter the engine again from within itself.
#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "core/global_options.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "ui/artwork.h"
#include "ui/dialog_provider.h"
#include "ui/engine_events.h"
#include "ui/entry_checks.h"
#include "ui/find_dialog.h"
#include "ui/job_grid.h"
#include "ui/main_window.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/user_prompts.h"
#include "ui/web_parts.h"

namespace kestrix {

void TfmMain::Run(std::function<void()> command) {
  context_.Control.Command(std::move(command));
}

void TfmMain::ConnectEngine() {
  TEngineEvents& events = context_.Events;
  connect(&events, &TEngineEvents::RowSelected, this, [this](int row) {
    queue_->SelectRowWhenShown(row);
    if (minimized_) {
      ShowTitle();
    } else {
      StatusText(TStatusPanel::General) = QString::number(row + 1);
      ScheduleStatusRefresh();
    }
  });
  connect(&events, &TEngineEvents::JobState, this,
          [this](int job, const QString& state) { jobs_->SetStateText(job - 1, state); });
  connect(&events, &TEngineEvents::JobStatesSwapped, this,
          [this](const QString& from, const QString& to) {
            for (int row = 0; row < jobs_->rowCount(); ++row) {
              if (jobs_->StateText(row) == from) jobs_->SetStateText(row, to);
            }
          });
  connect(&events, &TEngineEvents::Status, this, [this](TStatusPanel panel, const QString& text) {
    StatusText(panel) = text;
    ScheduleStatusRefresh();
  });
  connect(&events, &TEngineEvents::Worker, this, [this](int slot, bool busy) {
    if (slot < 0 || slot >= static_cast<int>(lights_.size())) return;
    lit_[static_cast<size_t>(slot)] = busy;
    ScheduleStatusRefresh();
  });
  connect(&events, &TEngineEvents::Running, this, [this](bool running) {
    if (running) statusBar()->clearMessage();  // the last run's links
    setWindowIcon(WindowIcon(running));
    if (tray_ != nullptr) tray_->setIcon(windowIcon());
    if (!running && leaveWhenStopped_) {
      leaveWhenStopped_ = false;
      QTimer::singleShot(0, this, [this] { Run([this] { close(); }); });
    }
  });
  // The run's end is told in the status bar, over the row number, until the
  // next run begins.
  connect(&events, &TEngineEvents::Mended, this, [this](const QString& text) {
    if (!text.isEmpty()) statusBar()->showMessage(text);
  });
  // A message box opens a nested event loop; from inside the engine's call
  // that loop would run the engine again, so it waits for the event loop.
  connect(
      &events, &TEngineEvents::Error, this,
      [this](const QString& text) { context_.Prompts.Tell(this, text, TPromptIcon::Error); },
      Qt::QueuedConnection);
  // The row number follows the user's selection as much as the engine's.
  connect(queue_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid() || minimized_) return;
            StatusText(TStatusPanel::General) = QString::number(current.row() + 1);
            ScheduleStatusRefresh();
          });
  connect(queue_, &TQueueView::FollowTailChanged, this,
          [this](bool follow) { context_.Events.SetFollowTail(follow); });
  connect(queue_, &TQueueView::CopyLinkRequested, this, [this](int row) {
    if (row >= 0 && row < context_.State.Queue.Count()) {
      QGuiApplication::clipboard()->setText(QString::fromStdString(
          context_.QueueModel.CellText(row, static_cast<int>(TQueueColumn::Url))));
    }
  });
  connect(queue_, &TQueueView::ReloadRequested, this,
          [this](int row) { Run([this, row] { context_.Control.ReloadEntry(row); }); });
  connect(queue_, &TQueueView::ContinueRequested, this,
          [this](int row) { Run([this, row] { ContinueFrom(row); }); });
  connect(queue_, &TQueueView::ContinueAbortedRequested, this, [this] {
    Run([this] {
      context_.Control.ContinueAborted();
      ResumeStoppedJobs();
    });
  });
  connect(queue_, &TQueueView::ParentRequested, this, &TfmMain::GoToParent);
  connect(queue_, &TQueueView::FindRequested, this, [this] { Run([this] { ShowFind(); }); });
  connect(queue_, &TQueueView::ExploreRequested, this,
          [this](int row) { Run([this, row] { ExploreEntry(row); }); });
}

void TfmMain::StartDownload() {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  if (context_.State.Queue.Count() > 0 &&
      !context_.Prompts.Ask(this, QStringLiteral("Queue is not empty !\n\nUpdate queue ?"),
                            TPromptIcon::Confirmation)) {
    return;
  }
  context_.Control.StartJob(runningProject_, row + 1, true);
  pages_->setCurrentIndex(kQueuePage);
  queue_->setFocus();
}

void TfmMain::StartSelectedJob() {
  const int row = jobs_->SelectedRow();
  if (row < 0 || row >= JobCount()) return;
  context_.Control.StartJob(runningProject_, row + 1, true);
}

void TfmMain::StartAllJobs() {
  for (int job = 1; job <= JobCount(); ++job) context_.Control.StartJob(runningProject_, job);
  pages_->setCurrentIndex(kQueuePage);
  queue_->setFocus();
}

void TfmMain::StopDownload() {
  if (!context_.Control.IsBusy()) return;
  context_.Control.StopDownload();
}

void TfmMain::ClearData() {
  if (RefuseWhileBusy()) return;
  if (!context_.Prompts.Ask(this, QStringLiteral("Delete downloaded data ?"),
                            TPromptIcon::Confirmation, TPromptDefault::No)) {
    return;
  }
  // The project's folder is removed, never the download folder itself: a
  // name that could point there or above is refused.
  if (std::string error = ProjectNameProblem(runningProject_); !error.empty()) {
    context_.Prompts.Tell(this, QString::fromStdString(error), TPromptIcon::Warning);
    return;
  }
  if (preview_ != nullptr) web_->ClearPreview(*preview_);
  if (!context_.Control.ClearProjectData(runningProject_)) {
    context_.Prompts.Tell(this, QStringLiteral("The downloaded data could not be deleted."),
                          TPromptIcon::Warning);
  }
}

void TfmMain::ContinueFrom(int row) {
  if (row < 0 || row >= context_.State.Queue.Count()) return;
  context_.Control.ContinueDownload(row + 1);
  ResumeStoppedJobs();
}

void TfmMain::ResumeStoppedJobs() {
  // The stopped jobs run again: their rows must not read "Stoped" while
  // they do, nor after they have completed.
  if (!context_.Control.IsBusy()) return;
  for (int row = 0; row < jobs_->rowCount(); ++row) {
    if (jobs_->StateText(row) == QLatin1String("Stoped")) {
      jobs_->SetStateText(row, QStringLiteral("Started"));
    }
  }
}

void TfmMain::GoToParent(int row) {
  const UrlList& queue = context_.State.Queue;
  if (row < 0 || row >= queue.Count()) return;
  const int parent = queue.Entry(row).ParentIndex;
  if (parent >= 0 && parent < queue.Count()) queue_->SelectRow(parent);
}

void TfmMain::ShowFind() {
  TfmFind dialog(*queue_, context_.Prompts, this);
  dialog.exec();
}

void TfmMain::ShowOptions() {
  const int before = context_.Options.ThreadCount;
  const std::string folder = context_.Options.DownLoadFolder;
  if (!context_.Dialogs.EditOptions(this, context_.Options, context_.Control.IsBusy())) return;
  context_.Offline.SetGlobalOffline(context_.Options.GlobalOfflineFlag);
  // The queue and its history belong to the folder they were read from.
  if (context_.Options.DownLoadFolder != folder && !runningProject_.empty()) {
    ChangeProject(QString::fromStdString(runningProject_));
  }
  BuildStatusBar();
  context_.Control.ThreadCountChanged(before);
}

void TfmMain::ShowFolder() {
  // The project's folder, or the download folder while nothing was loaded.
  QString folder = QString::fromStdString(context_.Options.DownLoadFolder);
  const QString project = folder + QString::fromStdString(runningProject_);
  if (!runningProject_.empty() && QFileInfo(project).isDir()) folder = project;
  OpenOnDesktop(context_.OpenUrl, QUrl::fromLocalFile(folder), [this](const QString& text) {
    context_.Prompts.Tell(this, text, TPromptIcon::Information);
  });
}

void TfmMain::ShowHelp() {
  const QString path = QString::fromStdString(context_.HelpFile);
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    context_.Prompts.Tell(this, QStringLiteral("'") + path + QStringLiteral("'   not Found !"),
                          TPromptIcon::Warning);
    return;
  }
  OpenOnDesktop(context_.OpenUrl, QUrl::fromLocalFile(path), [this](const QString& text) {
    context_.Prompts.Tell(this, text, TPromptIcon::Information);
  });
}

}  // namespace kestrix
