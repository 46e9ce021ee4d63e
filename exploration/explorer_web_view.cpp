#include "exploration/explorer_web_view.h"

#include <QFile>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <filesystem>

#include "browser/download_control.h"
#include "browser/preview_page.h"
#include "browser/request_filter.h"
#include "core/file_util.h"
#include "core/offline_state.h"

namespace kestrix {
namespace {

// Below the engine's limit on content handed over directly.
constexpr std::uintmax_t kMaxContentBytes = 2 * 1000 * 1000;

}  // namespace

TExplorerWebView::TExplorerWebView(const OfflineState* offline, QWidget* parent)
    : QWidget(parent), offline_(offline) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

TExplorerWebView::~TExplorerWebView() {
  // The page goes before its profile.
  if (view_ != nullptr) view_->setPage(nullptr);
  delete page_;
}

QWebEngineView* TExplorerWebView::View() {
  if (view_ != nullptr) return view_;
  filter_ = std::make_unique<PageRequestFilter>(offline_);
  // A private profile: nothing of a tested site stays on disk.
  profile_ = new QWebEngineProfile(this);
  const OfflineState* offline = offline_;
  page_ = new PreviewPage(
      profile_, [](const TFormSubmission&) {},
      [offline] { return offline == nullptr || offline->IsGlobalOffline(); }, this);
  // Like a live preview: the program's "Work Offline" switch decides
  // whether the page's images and styles come from the network.
  site_.Remove(TDownloadOption::ForceOffline);
  site_.Add(TDownloadOption::OfflineIfNotConnected);
  if (offline_ == nullptr) site_.Add(TDownloadOption::ForceOffline);
  ApplyDownloadControl(site_, *page_, *filter_);
  // The fetched page lies on disk, its images and styles on the web: the
  // request filter, not the engine's rule for local pages, decides whether
  // they may come.
  page_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls,
                                  offline_ != nullptr);
  view_ = new QWebEngineView(this);
  view_->setPage(page_);
  layout()->addWidget(view_);
  return view_;
}

void TExplorerWebView::ShowFile(const std::string& file, const std::string& root, bool isHtml) {
  View();
  page_->SetLocalRoot(root);
  TRequestRules rules = filter_->Rules();
  rules.file_root = root;
  filter_->SetRules(rules);
  ApplyDownloadControl(site_, *page_, *filter_);
  std::error_code error;
  if (file.empty() || !std::filesystem::is_regular_file(file, error) || !page_->MayShowFile(file)) {
    page_->load(QUrl(QStringLiteral("about:blank")));
    return;
  }
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file));
  // The engine takes a file's type from its name: a page saved as
  // "page.php" or "render" would be offered as a download or shown as
  // text. A page the server called HTML is handed over as such, with its
  // own file as the base of its relative links; the engine takes content
  // so given only up to a size, beyond which the file itself is loaded.
  const bool namedHtml = NamedAsHtml(file);
  const auto size = std::filesystem::file_size(file, error);
  if (isHtml && !namedHtml && !error && size < kMaxContentBytes) {
    QFile in(QString::fromStdString(file));
    if (in.open(QIODevice::ReadOnly)) {
      page_->setContent(in.readAll(), QStringLiteral("text/html"), url);
      return;
    }
  }
  page_->load(url);
}

}  // namespace kestrix
