// The main window's side of the page preview: the "View" page holds the
// preview pane, made the first time a page is shown there so that a session
// that never previews never loads the web engine.
#include <QTabWidget>
#include <QVBoxLayout>

#include "engine/download_control.h"
#include "ui/job_grid.h"
#include "ui/main_window.h"
#include "ui/preview_pane.h"
#include "ui/queue_view.h"
#include "ui/user_prompts.h"
#include "ui/web_parts.h"

namespace kestrix {

namespace {

TPromptIcon PromptIcon(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Warning:
      return TPromptIcon::Warning;
    case TMessageKind::Error:
      return TPromptIcon::Error;
    case TMessageKind::Information:
      break;
  }
  return TPromptIcon::Information;
}

}  // namespace

const WebParts* TfmMain::Web() {
  if (web_ == nullptr) {
    QString why;
    web_ = TheWebParts(&why);
    if (web_ == nullptr) {
      context_.Prompts.Tell(this, QStringLiteral("The web engine is not available: ") + why,
                            TPromptIcon::Warning);
    }
  }
  return web_;
}

TPreviewPane& TfmMain::Preview() {
  return *MadePreview();
}

TPreviewPane* TfmMain::MadePreview() {
  if (preview_ == nullptr) {
    if (Web() == nullptr) return nullptr;
    UserPrompts& prompts = context_.Prompts;
    TShowMessage tell = [&prompts](QWidget* parent, TMessageKind kind, const QString& text) {
      prompts.Tell(parent, text, PromptIcon(kind));
    };
    preview_ = web_->MakePreview(
        TPreviewContext{
            context_.Control, context_.Options, context_.Offline, tell, context_.OpenUrl, {}},
        *this, viewPage_);
    viewPage_->layout()->addWidget(preview_);
  }
  return preview_;
}

void TfmMain::ConnectPreview() {
  const auto view = [this](int row) {
    if (row < 0) return;
    Run([this, row] {
      if (TPreviewPane* pane = MadePreview()) web_->ViewQueueRow(*pane, row + 1);
    });
  };
  connect(queue_, &TQueueView::ViewRequested, this, view);
  connect(queue_, &QTableView::doubleClicked, this,
          [view](const QModelIndex& index) { view(index.row()); });
  connect(Action(QStringLiteral("btnPreview")), &QAction::triggered, this, [this] {
    Run([this] {
      const int job = jobs_->SelectedRow();
      if (job < 0 || job >= JobCount()) return;
      if (TPreviewPane* pane = MadePreview())
        web_->PreviewStartingPage(*pane, runningProject_, job + 1);
    });
  });
  connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
    // The page shows its buttons and fields from the first time it is
    // opened, not only once a queue row was viewed.
    if (page == kViewPage) MadePreview();
    if (page == kQueuePage) queue_->setFocus();
    if (preview_ != nullptr) web_->UpdateQueueButtons(*preview_);
  });
}

std::string TfmMain::SelectedProject() const {
  return runningProject_;
}

int TfmMain::SelectedJob() const {
  const int row = jobs_->SelectedRow();
  return row >= 0 && row < JobCount() ? row + 1 : 0;
}

int TfmMain::SelectedQueueRow() const {
  return queue_->SelectedRow() + 1;
}

void TfmMain::SelectQueueRow(int row) {
  queue_->SelectRow(row - 1);
}

void TfmMain::ShowViewPage() {
  pages_->setCurrentIndex(kViewPage);
}

void TfmMain::ShowQueuePage() {
  pages_->setCurrentIndex(kQueuePage);
  queue_->setFocus();
}

void TfmMain::ShowPreviewStatus(const QString& text) {
  if (pages_->currentIndex() != kViewPage) return;
  StatusText(TStatusPanel::General) = text;
  ScheduleStatusRefresh();
}

void TfmMain::EditSelectedJob() {
  Run([this] { EditJob(); });
}

}  // namespace kestrix
