#include "ui/preview_pane.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <filesystem>

#include "browser/download_control.h"
#include "browser/preview_page.h"
#include "browser/request_filter.h"
#include "core/file_util.h"
#include "core/global_options.h"
#include "core/job_list.h"
#include "core/job_url.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "ui/post_data_dialog.h"
#include "ui/preview_host.h"

namespace kestrix {
namespace {

QString Shown(const std::string& text) {
  return QString::fromStdString(text);
}

QUrl UrlOf(const std::string& url) {
  return QUrl::fromEncoded(QByteArray::fromStdString(url));
}

}  // namespace

TPreviewPane::TPreviewPane(TPreviewContext context, PreviewHost& host, QWidget* parent)
    : QWidget(parent),
      context_(std::move(context)),
      host_(host),
      filter_(std::make_unique<PageRequestFilter>(&context_.Offline)) {
  // A private profile: the preview keeps no cookies, cache or history on disk.
  profile_ = new QWebEngineProfile(this);
  const OfflineState& offline = context_.Offline;
  page_ = new PreviewPage(
      profile_, [this](const TFormSubmission& form) { Submitted(form); },
      [this, &offline] {
        return offline.IsGlobalOffline() || site_.Has(TDownloadOption::ForceOffline);
      },
      this);
  BuildControls();
  HTML->setPage(page_);
  SetLocalRoot(std::string());
  ApplyOptions();

  connect(page_, &QWebEnginePage::linkHovered, this,
          [this](const QString& url) { host_.ShowPreviewStatus(url); });
  connect(page_, &QWebEnginePage::loadStarted, this, [this] { btnWebStop->setEnabled(true); });
  connect(page_, &QWebEnginePage::loadFinished, this, [this] {
    btnWebStop->setEnabled(false);
    const QUrl url = page_->url();
    if (url.isEmpty() || url.scheme() == QLatin1String("about")) return;
    edFileName->setText(url.isLocalFile() ? url.toLocalFile() : url.toString());
  });
  QAction* back = page_->action(QWebEnginePage::Back);
  QAction* forward = page_->action(QWebEnginePage::Forward);
  connect(back, &QAction::changed, this, [this, back] { btnBack->setEnabled(back->isEnabled()); });
  connect(forward, &QAction::changed, this,
          [this, forward] { btnForward->setEnabled(forward->isEnabled()); });
  // A page's window.close() asks for windowCloseRequested, which nothing
  // here answers: the preview stays.
}

TPreviewPane::~TPreviewPane() {
  // The page goes before its profile.
  HTML->setPage(nullptr);
  delete page_;
}

void TPreviewPane::BuildControls() {
  const auto tool = [this](const QString& text, const QString& hint) {
    auto* button = new QToolButton(this);
    button->setText(text);
    button->setToolTip(hint);
    return button;
  };
  btnUp = tool(QStringLiteral("^"), QStringLiteral("Previous Url in queue"));
  btnDown = tool(QStringLiteral("v"), QStringLiteral("Next Url in queue"));
  btnBack = tool(QStringLiteral("<"), QStringLiteral("Backward"));
  btnForward = tool(QStringLiteral(">"), QStringLiteral("Forward"));
  btnWebStop = tool(QStringLiteral("x"), QStringLiteral("Stop Preview"));
  btnRefresh = tool(QStringLiteral("@"), QStringLiteral("Refresh"));
  btnExtBrowser = tool(QStringLiteral("Ext"), QStringLiteral("View in external browser"));
  btnExtBrowser->setIcon(QIcon::fromTheme(QStringLiteral("web-browser")));
  btnBack->setEnabled(false);
  btnForward->setEnabled(false);
  btnWebStop->setEnabled(false);
  chkImages = new QCheckBox(QStringLiteral("Show  Images"), this);
  chkFrames = new QCheckBox(QStringLiteral("Show  Frames"), this);
  chkScripts = new QCheckBox(QStringLiteral("Enable Scripts"), this);
  for (QCheckBox* box : {chkImages, chkFrames, chkScripts}) box->setChecked(true);
  edNavigate = new QLineEdit(this);
  edNavigate->setReadOnly(true);
  edFileName = new QLineEdit(this);
  edFileName->setReadOnly(true);
  HTML = new QWebEngineView(this);

  auto* tools = new QHBoxLayout;
  for (QWidget* w :
       std::initializer_list<QWidget*>{btnUp, btnDown, btnBack, btnForward, btnWebStop, btnRefresh,
                                       chkImages, chkFrames, chkScripts, btnExtBrowser}) {
    tools->addWidget(w);
  }
  tools->addStretch();
  auto* fields = new QHBoxLayout;
  fields->addWidget(new QLabel(QStringLiteral("Queue:"), this));
  fields->addWidget(edNavigate, 1);
  fields->addWidget(new QLabel(QStringLiteral("Location:"), this));
  fields->addWidget(edFileName, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(tools);
  layout->addLayout(fields);
  layout->addWidget(HTML, 1);

  connect(btnUp, &QToolButton::clicked, this, [this] { StepQueue(-1); });
  connect(btnDown, &QToolButton::clicked, this, [this] { StepQueue(1); });
  // A step in the history repeats what was decided before: the page lets
  // it go without taking it for a submission.
  connect(btnBack, &QToolButton::clicked, HTML, &QWebEngineView::back);
  connect(btnForward, &QToolButton::clicked, HTML, &QWebEngineView::forward);
  connect(btnWebStop, &QToolButton::clicked, HTML, &QWebEngineView::stop);
  connect(btnRefresh, &QToolButton::clicked, this, [this] {
    if (!page_->url().isEmpty()) HTML->reload();
  });
  connect(chkImages, &QCheckBox::toggled, this,
          [this](bool on) { OptionSwitched(TDownloadOption::Images, on); });
  connect(chkFrames, &QCheckBox::toggled, this,
          [this](bool on) { OptionSwitched(TDownloadOption::NoFrameDownload, !on); });
  connect(chkScripts, &QCheckBox::toggled, this,
          [this](bool on) { OptionSwitched(TDownloadOption::NoScripts, !on); });
  connect(btnExtBrowser, &QToolButton::clicked, this, &TPreviewPane::OpenInExternalBrowser);
}

void TPreviewPane::ApplyOptions() {
  // A saved copy is shown strictly offline; a live preview goes to the
  // network unless the program works offline.
  if (PreviewMode) {
    site_.Remove(TDownloadOption::ForceOffline);
    site_.Add(TDownloadOption::OfflineIfNotConnected);
  } else {
    site_.Remove(TDownloadOption::OfflineIfNotConnected);
    site_.Add(TDownloadOption::ForceOffline);
  }
  ApplyDownloadControl(site_, *page_, *filter_);
}

void TPreviewPane::OptionSwitched(TDownloadOption option, bool add) {
  if (add) {
    site_.Add(option);
  } else {
    site_.Remove(option);
  }
  ApplyDownloadControl(site_, *page_, *filter_);
  // Past the caches, which would show again what the page held.
  if (!page_->url().isEmpty()) page_->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

void TPreviewPane::Navigate(const QUrl& url) {
  ApplyOptions();
  page_->load(url);
}

void TPreviewPane::SetLocalRoot(const std::string& folder) {
  // Both the navigations and every request a page makes keep to it: a
  // saved page may show its own files and nothing else of the disk.
  page_->SetLocalRoot(folder);
  TRequestRules rules = filter_->Rules();
  rules.file_root = folder;
  filter_->SetRules(rules);
}

std::string TPreviewPane::ProjectFolder() const {
  std::string project = context_.Control.RunningProject();
  if (project.empty()) project = host_.SelectedProject();
  if (project.empty()) return std::string();
  return context_.Options.DownLoadFolder + project + "/";
}

std::string TPreviewPane::QueueFile(int row) const {
  const UrlList& queue = context_.Control.Queue();
  if (row < 1 || row > queue.Count()) return std::string();
  const TRetriveRec& entry = queue.Entry(row - 1);
  return entry.LocalFolder + entry.LocalFileName;
}

void TPreviewPane::UpdateQueueButtons() {
  const bool entries = context_.Control.Queue().Count() > 0;
  btnUp->setEnabled(entries);
  btnDown->setEnabled(entries);
}

void TPreviewPane::ViewQueueRow(int row) {
  const UrlList& queue = context_.Control.Queue();
  if (row < 1 || row > queue.Count()) return;
  UpdateQueueButtons();
  host_.ShowViewPage();
  const std::string file = QueueFile(row);
  PreviewMode = false;
  SetLocalRoot(ProjectFolder());
  std::error_code error;
  // A history file names its own paths; one that leads out of the project
  // is not shown, nor its name.
  if (!std::filesystem::is_regular_file(file, error) || !page_->MayShowFile(file)) {
    Navigate(QUrl(QStringLiteral("about:blank")));
    return;
  }
  edNavigate->setText(Shown(queue.Entry(row - 1).Job.editUrl));
  edFileName->setText(Shown(file));
  Navigate(QUrl::fromLocalFile(Shown(file)));
}

bool TPreviewPane::PreviewStartingPage(const std::string& project, int job) {
  TDownloadControl& control = context_.Control;
  if (job < 1 || job > control.Context().Store.JobCount(project)) return false;
  PreviewMode = true;
  SetLocalRoot(std::string());
  control.StartJob(project, job, false);
  TJobRecord record;
  control.Context().Store.GetJob(project, job, record);
  const std::string url = StartingUrl(record.editUrl);
  if (!page_->url().isEmpty()) page_->load(QUrl(QStringLiteral("about:blank")));
  edNavigate->setText(Shown(url));
  host_.ShowViewPage();
  // The page would refuse the network without a word.
  if (context_.Offline.IsGlobalOffline()) {
    context_.ShowMessage(this, TMessageKind::Information,
                         QStringLiteral("\"Work Offline\" is on: ") + Shown(url) +
                             QStringLiteral(" is not fetched. Switch it off in Options to "
                                            "preview the starting page."));
    return true;
  }
  Navigate(UrlOf(url));
  return true;
}

void TPreviewPane::StepQueue(int delta) {
  const int row = host_.SelectedQueueRow();
  const int target = row + delta;
  if (row < 1 || target < 1 || target > context_.Control.Queue().Count()) return;
  host_.SelectQueueRow(target);
  ViewQueueRow(target);
}

void TPreviewPane::Clear() {
  HTML->stop();
  page_->load(QUrl(QStringLiteral("about:blank")));
  edNavigate->clear();
  edFileName->clear();
}

void TPreviewPane::OpenInExternalBrowser() {
  const std::string file = QueueFile(host_.SelectedQueueRow());
  if (file.empty()) return;
  std::error_code error;
  // Only a saved page of the project goes to the desktop's handler: any
  // other downloaded file could be a program that handler would run.
  if (!IsInsideFolder(ProjectFolder(), file) || !NamedAsHtml(file) ||
      !std::filesystem::is_regular_file(file, error)) {
    context_.ShowMessage(this, TMessageKind::Information,
                         QStringLiteral("Only saved pages of the project open in the external "
                                        "browser."));
    return;
  }
  OpenOnDesktop(
      context_.OpenExternal, QUrl::fromLocalFile(Shown(file)),
      [this](const QString& text) { context_.ShowMessage(this, TMessageKind::Information, text); });
}

}  // namespace kestrix
