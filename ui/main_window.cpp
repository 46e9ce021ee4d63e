// The main window's construction, its status bar, geometry, tray and close.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "links/html_parser.h"
#include "links/script_resolver.h"
#include "ui/artwork.h"
#include "ui/engine_events.h"
#include "ui/job_grid.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/summary_view.h"
#include "ui/user_prompts.h"
#include "ui/web_parts.h"

namespace kestrix {
TfmMain::TfmMain(TMainWindowContext context, QWidget* parent)
    : QMainWindow(parent),
      context_(std::move(context)),
      rateTimer_(new QTimer(this)),
      statusTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("fmMain"));
  setWindowTitle(QStringLiteral("Kestrix"));
  setWindowIcon(WindowIcon(false));
  statusTimer_->setSingleShot(true);
  statusTimer_->setInterval(100);
  connect(statusTimer_, &QTimer::timeout, this, &TfmMain::RefreshStatus);
  BuildActions();
  BuildMenus();
  BuildPages();
  ConnectEngine();
  ConnectPreview();
  // The store is loaded; the first project is selected and its history
  // loaded into the queue.
  const std::vector<std::string> names = context_.Store.ProjectNames();
  FillProjects(names.empty() ? QString() : QString::fromStdString(names.front()));
  runningProject_ = combo_->currentText().toStdString();
  FillJobGrid();
  ReadGeometry();
  pages_->setCurrentIndex(kJobsPage);
  BuildStatusBar();
  if (!runningProject_.empty()) {
    context_.Control.OpenProject(runningProject_);
  }
  context_.Control.ShowQueueStatus();
  UpdateCommandStates();
  connect(rateTimer_, &QTimer::timeout, this, &TfmMain::ShowRate);
  rateTimer_->start(1000);
}

TfmMain::~TfmMain() {
  // Engine notifications must not reach a half-destroyed window.
  context_.Events.disconnect(this);
  // The test window goes before the parser and resolver it works with.
  if (test_ != nullptr) web_->DeleteTest(test_);
  test_ = nullptr;
}

void TfmMain::BuildActions() {
  QStyle* look = style();
  struct TItem {
    const char* name;
    const char* text;
    QStyle::StandardPixmap icon;
  };
  const TItem items[] = {
      {"btnNewProject", "New Project", QStyle::SP_FileDialogNewFolder},
      {"btnEditProject", "Edit Project List", QStyle::SP_FileDialogDetailedView},
      {"btnDeleteProject", "Delete Project", QStyle::SP_TrashIcon},
      {"btnAddJob", "New Job", QStyle::SP_FileIcon},
      {"btnJobProp", "Job Property", QStyle::SP_FileDialogInfoView},
      {"btnPreview", "Preview starting page", QStyle::SP_FileDialogContentsView},
      {"btnTest", "Exploration test", QStyle::SP_MessageBoxQuestion},
      {"btnDownLoad", "Start DownLoad", QStyle::SP_MediaPlay},
      {"btnStop", "Stop download", QStyle::SP_MediaStop},
      {"btnClear", "Clear downloaded data", QStyle::SP_DialogResetButton},
      {"btnExplore", "Explorer", QStyle::SP_DirOpenIcon},
  };
  auto* bar = addToolBar(QStringLiteral("Toolbar"));
  bar->setObjectName(QStringLiteral("ToolBar"));
  bar->setMovable(false);
  for (const TItem& item : items) {
    auto* action = new QAction(look->standardIcon(item.icon), QString::fromLatin1(item.text), this);
    action->setObjectName(QString::fromLatin1(item.name));
    action->setToolTip(action->text());
    bar->addAction(action);
    const std::string_view name = item.name;
    if (name == "btnDeleteProject" || name == "btnTest" || name == "btnClear") bar->addSeparator();
  }
  bar->addWidget(new QLabel(QStringLiteral(" Project: "), this));
  combo_ = new QComboBox(this);
  combo_->setObjectName(QStringLiteral("comboProjects"));
  combo_->setMaxVisibleItems(15);
  combo_->setMinimumContentsLength(18);
  bar->addWidget(combo_);
  connect(combo_, &QComboBox::activated, this,
          [this](int index) { Run([this, index] { ChangeProject(combo_->itemText(index)); }); });

  Connect(Action(QStringLiteral("btnNewProject")), &TfmMain::NewProject);
  Connect(Action(QStringLiteral("btnEditProject")), &TfmMain::EditProjectList);
  Connect(Action(QStringLiteral("btnDeleteProject")), &TfmMain::DeleteProject);
  Connect(Action(QStringLiteral("btnJobProp")), &TfmMain::EditJob);
  Connect(Action(QStringLiteral("btnTest")), &TfmMain::ShowTest);
  Connect(Action(QStringLiteral("btnDownLoad")), &TfmMain::StartDownload);
  Connect(Action(QStringLiteral("btnStop")), &TfmMain::StopDownload);
  Connect(Action(QStringLiteral("btnClear")), &TfmMain::ClearData);
  Connect(Action(QStringLiteral("btnExplore")), &TfmMain::ShowFolder);
  connect(Action(QStringLiteral("btnAddJob")), &QAction::triggered, this,
          [this] { Run([this] { NewJob(); }); });
}

void TfmMain::Connect(QAction* action, void (TfmMain::*command)()) {
  connect(action, &QAction::triggered, this,
          [this, command] { Run([this, command] { (this->*command)(); }); });
}

QAction* TfmMain::Action(const QString& name) const {
  return findChild<QAction*>(name);
}

void TfmMain::BuildMenus() {
  // Mnemonics and F10 reach the menus from the keyboard.
  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  QAction* itmOptions = options->addAction(QStringLiteral("&Options"));
  itmOptions->setObjectName(QStringLiteral("itmOptions"));
  Connect(itmOptions, &TfmMain::ShowOptions);
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* itmHelp = help->addAction(QStringLiteral("Kestrix &Help (rus)"));
  itmHelp->setObjectName(QStringLiteral("itmHelp"));
  Connect(itmHelp, &TfmMain::ShowHelp);
  help->addSeparator();
  QAction* about = help->addAction(QStringLiteral("&About..."));
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menuKey, &QShortcut::activated, this,
          [this] { menuBar()->setActiveAction(menuBar()->actions().constFirst()); });
  connect(about, &QAction::triggered, this, [this] {
    Run([this] {
      context_.Prompts.Tell(this,
                            QStringLiteral("Kestrix %1\nA website download spider.")
                                .arg(QCoreApplication::applicationVersion()),
                            TPromptIcon::Information);
    });
  });

  jobMenu_ = new QMenu(this);
  struct TItem {
    const char* name;
    const char* text;
    QKeySequence keys;
  };
  const TItem items[] = {
      {"itmNewJob", "New Job", QKeySequence(Qt::CTRL | Qt::Key_N)},
      {"itmEditJob", "Edit Property", QKeySequence(Qt::Key_F2)},
      {"itmDeleteJob", "Delete Job", QKeySequence(Qt::Key_Delete)},
      {"itmPasteJob", "Paste link", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
      {"itmStartLink", "Start Job", QKeySequence(Qt::Key_F8)},
      {"itmStartAll", "Start All Jobs", QKeySequence(Qt::Key_F9)},
  };
  for (const TItem& item : items) {
    QAction* action = jobMenu_->addAction(QString::fromLatin1(item.text));
    action->setObjectName(QString::fromLatin1(item.name));
    action->setShortcut(item.keys);
    // The grid's key handler acts on the keys; the menu only shows them.
    action->setShortcutContext(Qt::WidgetShortcut);
    const std::string_view name = item.name;
    if (name == "itmDeleteJob" || name == "itmPasteJob") jobMenu_->addSeparator();
  }
  connect(Action(QStringLiteral("itmNewJob")), &QAction::triggered, this,
          [this] { Run([this] { NewJob(); }); });
  Connect(Action(QStringLiteral("itmEditJob")), &TfmMain::EditJob);
  connect(Action(QStringLiteral("itmDeleteJob")), &QAction::triggered, this,
          [this] { Run([this] { DeleteJob(false); }); });
  Connect(Action(QStringLiteral("itmPasteJob")), &TfmMain::PasteJob);
  Connect(Action(QStringLiteral("itmStartLink")), &TfmMain::StartSelectedJob);
  Connect(Action(QStringLiteral("itmStartAll")), &TfmMain::StartAllJobs);
  connect(jobMenu_, &QMenu::aboutToShow, this, &TfmMain::UpdateCommandStates);

  trayMenu_ = new QMenu(this);
  QAction* show = trayMenu_->addAction(QStringLiteral("Show"));
  connect(show, &QAction::triggered, this, [this] {
    showNormal();
    raise();
    activateWindow();
  });
  QAction* exit = trayMenu_->addAction(QStringLiteral("Exit"));
  connect(exit, &QAction::triggered, this, [this] { Run([this] { close(); }); });
}

void TfmMain::BuildPages() {
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("pageProject"));
  jobs_ = new TJobGrid(pages_);
  queue_ = new TQueueView(context_.QueueModel, pages_);
  summary_ = new TSummaryView(context_.State, pages_);
  viewPage_ = new QWidget(pages_);
  auto* viewLayout = new QVBoxLayout(viewPage_);
  viewLayout->setContentsMargins(0, 0, 0, 0);
  pages_->addTab(jobs_, QStringLiteral("Jobs"));
  pages_->addTab(queue_, QStringLiteral("Queue"));
  pages_->addTab(viewPage_, QStringLiteral("View"));
  pages_->addTab(summary_, QStringLiteral("Summary"));
  setCentralWidget(pages_);
  connect(pages_, &QTabWidget::currentChanged, this, [this] {
    StatusText(TStatusPanel::General).clear();
    if (!panels_.empty()) panels_[0]->clear();
  });

  connect(jobs_, &TJobGrid::UrlsDropped, this, [this](const QStringList& urls) {
    // Never inside the drop: a dialog opened there would run in the
    // platform's drag loop.
    QTimer::singleShot(0, this, [this, urls] { Run([this, urls] { DropUrls(urls); }); });
  });
  connect(jobs_, &TJobGrid::RowMoved, this,
          [this](int from, int to) { Run([this, from, to] { MoveJob(from, to); }); });
  connect(jobs_, &TJobGrid::UrlEdited, this, [this](int row, const QString& url) {
    QTimer::singleShot(0, this,
                       [this, row, url] { Run([this, row, url] { EditJobUrl(row, url); }); });
  });
  connect(jobs_, &TJobGrid::MenuRequested, this, [this](const QPoint& at) {
    UpdateCommandStates();
    jobMenu_->popup(at);
  });
  connect(jobs_, &TJobGrid::KeyCommand, this, [this](int key, Qt::KeyboardModifiers) {
    Run([this, key] {
      switch (key) {
        case Qt::Key_N:
          NewJob();
          return;
        case Qt::Key_Insert:
          return PasteJob();
        case Qt::Key_Delete:
          return DeleteJob(true);
        case Qt::Key_F2:
          return EditJob();
        case Qt::Key_F8:
          return StartSelectedJob();
        case Qt::Key_F9:
          return StartAllJobs();
        default:
          return;
      }
    });
  });
  // The hints name the selected job's URL as it is now: after another row,
  // an edit of the URL or another project alike.
  connect(jobs_, &QTableWidget::currentCellChanged, this, &TfmMain::ShowJobHints);
  connect(jobs_->model(), &QAbstractItemModel::dataChanged, this, &TfmMain::ShowJobHints);
}

void TfmMain::ShowJobHints() {
  const int row = jobs_->currentRow();
  const QString url = jobs_->item(row, TJobGrid::kUrl) != nullptr
                          ? jobs_->item(row, TJobGrid::kUrl)->text().trimmed()
                          : QString();
  const bool named = url.size() > 3;
  Action(QStringLiteral("btnPreview"))
      ->setToolTip(named ? QStringLiteral("Preview: ") + url
                         : QStringLiteral("Preview starting page"));
  Action(QStringLiteral("btnDownLoad"))
      ->setToolTip(named ? QStringLiteral("Download: ") + url : QStringLiteral("Start DownLoad"));
}

void TfmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  if (panels_.empty()) {
    const int widths[kStatusPanels] = {0, 27, 80, 80};
    const char* const texts[kStatusPanels] = {"", "", "Recieved: ", "Queue: "};
    for (int panel = 0; panel < kStatusPanels; ++panel) {
      auto* label = new QLabel(QString::fromLatin1(texts[panel]), bar);
      label->setObjectName(QStringLiteral("StBarPanel%1").arg(panel));
      statusTexts_[static_cast<size_t>(panel)] = label->text();
      if (panel == static_cast<int>(TStatusPanel::General)) {
        bar->addWidget(label, 1);
      } else {
        label->setMinimumWidth(widths[panel]);
        bar->addPermanentWidget(label);
      }
      panels_.push_back(label);
    }
  }
  panels_[static_cast<size_t>(TStatusPanel::Offline)]->setPixmap(
      context_.Offline.IsGlobalOffline() ? OfflinePixmap() : QPixmap());
  for (QLabel* light : lights_) delete light;
  lights_.clear();
  const int workers = std::clamp(context_.Options.ThreadCount, 1, kWorkerSlots - 1);
  lit_.assign(static_cast<size_t>(workers), false);
  shownLit_.assign(static_cast<size_t>(workers), false);
  // One light per worker and one empty panel after them.
  for (int slot = 0; slot <= workers; ++slot) {
    auto* light = new QLabel(bar);
    light->setFixedWidth(20);
    light->setAlignment(Qt::AlignCenter);
    if (slot < workers) {
      const bool busy = context_.Control.WorkerState(slot) == TSlotState::Busy;
      lit_[static_cast<size_t>(slot)] = busy;
      shownLit_[static_cast<size_t>(slot)] = busy;
      light->setPixmap(WorkerLightPixmap(busy));
      lights_.push_back(light);
    }
    bar->addPermanentWidget(light);
    if (slot == workers) light->setObjectName(QStringLiteral("StBarSpare"));
  }
  context_.Control.ShowQueueStatus();
}

QString TfmMain::PanelText(int panel) const {
  return panel >= 0 && panel < static_cast<int>(statusTexts_.size())
             ? statusTexts_[static_cast<size_t>(panel)]
             : QString();
}

void TfmMain::ScheduleStatusRefresh() {
  if (!statusTimer_->isActive()) statusTimer_->start();
}

void TfmMain::RefreshStatus() {
  for (size_t panel = 0; panel < panels_.size() && panel < statusTexts_.size(); ++panel) {
    if (panel != static_cast<size_t>(TStatusPanel::Offline) &&
        panels_[panel]->text() != statusTexts_[panel]) {
      panels_[panel]->setText(statusTexts_[panel]);
    }
  }
  for (size_t slot = 0; slot < lights_.size(); ++slot) {
    if (shownLit_[slot] == lit_[slot]) continue;
    shownLit_[slot] = lit_[slot];
    lights_[slot]->setPixmap(WorkerLightPixmap(lit_[slot]));
  }
}

bool TfmMain::WorkerLit(int slot) const {
  return slot >= 0 && slot < static_cast<int>(lit_.size()) && lit_[static_cast<size_t>(slot)];
}

}  // namespace kestrix
