// The exploration test window's page tools: the page as text or rendered,
// saving and searching it, the grids' pop-up menu, and the window's place
// in the settings file.
#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/offline_state.h"
#include "exploration/explorer_web_view.h"
#include "exploration/explorer_window.h"

namespace kestrix {
namespace {

constexpr char kPlaceSection[] = "MainWnd";

QString Shown(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QWidget* TfmTest::BuildHtmlPage() {
  auto* page = new QWidget(pages_);
  auto* layout = new QVBoxLayout(page);
  auto* tools = new QHBoxLayout;
  tools->addWidget(new QLabel(QStringLiteral("View as :"), page));
  viewHtml_ = new QRadioButton(QStringLiteral("Html"), page);
  viewHtml_->setObjectName(QStringLiteral("rbViewHtml"));
  viewWeb_ = new QRadioButton(QStringLiteral("Web"), page);
  viewWeb_->setObjectName(QStringLiteral("rbViewWeb"));
  auto* group = new QButtonGroup(page);
  group->addButton(viewHtml_);
  group->addButton(viewWeb_);
  viewHtml_->setChecked(true);
  tools->addWidget(viewHtml_);
  tools->addWidget(viewWeb_);
  tools->addStretch();
  QPushButton* clear =
      AddButton(QStringLiteral("btnClearHtml"), QStringLiteral("Clear html"), page);
  QPushButton* save = AddButton(QStringLiteral("btnSaveHtml"), QStringLiteral("Save html"), page);
  QPushButton* find = AddButton(QStringLiteral("btnFindText"), QStringLiteral("Find text"), page);
  for (QPushButton* button : {clear, save, find}) tools->addWidget(button);
  layout->addLayout(tools);

  htmlStack_ = new QStackedWidget(page);
  html_ = new QTextEdit(htmlStack_);
  html_->setReadOnly(true);
  html_->setAcceptRichText(false);
  html_->setLineWrapMode(QTextEdit::NoWrap);
  htmlStack_->addWidget(html_);
  layout->addWidget(htmlStack_);
  save->setEnabled(false);

  connect(clear, &QPushButton::clicked, this, [this] {
    html_->clear();
    shownHtml_.clear();
  });
  connect(save, &QPushButton::clicked, this, [this] { SaveHtml(); });
  connect(find, &QPushButton::clicked, this, [this] { FindText(); });
  connect(viewWeb_, &QRadioButton::toggled, this, [this](bool web) { SetViewAsWeb(web); });
  return page;
}

void TfmTest::SetViewAsWeb(bool web) {
  if (web != viewWeb_->isChecked()) (web ? viewWeb_ : viewHtml_)->setChecked(true);
  if (web && web_ == nullptr) {
    web_ = new TExplorerWebView(hooks_.Offline, htmlStack_);
    htmlStack_->addWidget(web_);
    ShowInWeb();
  }
  htmlStack_->setCurrentWidget(web ? static_cast<QWidget*>(web_) : html_);
}

void TfmTest::ShowInWeb() {
  if (web_ == nullptr || !test_->HasJob()) return;
  web_->ShowFile(test_->CurrentPath(), test_->CacheFolder(), test_->Current().IsHtml != 0);
}

void TfmTest::AfterStep() {
  // A page shown from the cache was not fetched: nothing else shows it.
  if (!test_->Running()) ShowInWeb();
}

void TfmTest::FetchDone() {
  if (hooks_.Offline != nullptr && test_->Current().ReceivedSize > 0) {
    hooks_.Offline->SetGlobalOffline(options_.GlobalOfflineFlag);
  }
  // Also after a failure: the view must not go on showing the page before.
  ShowInWeb();
  ShowEntry();
}

bool TfmTest::HasSavedFile() const {
  if (test_->Running() || !test_->HasJob()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(test_->CurrentPath(), error);
}

void TfmTest::SaveHtml() {
  if (!HasSavedFile() || !hooks_.SaveFileName) return;
  const std::string source = test_->CurrentPath();
  const QString chosen = hooks_.SaveFileName(this, Shown(test_->Current().LocalFileName));
  if (chosen.isEmpty()) return;
  const std::filesystem::path target(chosen.toLocal8Bit().toStdString());
  std::error_code error;
  // Saving the cached page onto itself has nothing to copy.
  if (std::filesystem::equivalent(source, target, error)) return;
  error.clear();
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (error && hooks_.Tell) {
    hooks_.Tell(this, QStringLiteral("Cannot write ") + chosen + QStringLiteral(": ") +
                          QString::fromStdString(error.message()));
  }
}

void TfmTest::FindText() {
  if (hooks_.FindText) hooks_.FindText(this, *html_);
}

void TfmTest::BuildGridMenu() {
  gridMenu_ = new QMenu(this);
  QAction* copy = gridMenu_->addAction(QStringLiteral("Copy to clipboard"));
  copy->setObjectName(QStringLiteral("itmCopy"));
  QAction* find = gridMenu_->addAction(QStringLiteral("Find in grid"));
  find->setObjectName(QStringLiteral("itmFind"));
  connect(copy, &QAction::triggered, this, [this] { CopyRow(); });
  connect(find, &QAction::triggered, this, [this] { FindInGrid(); });
  for (QTableWidget* grid : {enabledGrid_, disabledGrid_}) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& at) { OpenGridMenu(grid, at); });
  }
}

void TfmTest::OpenGridMenu(QTableWidget* grid, const QPoint& at) {
  menuGrid_ = grid;
  const QModelIndex under = grid->indexAt(at);
  if (under.isValid()) grid->selectRow(under.row());
  const bool rows = grid->rowCount() > 0;
  for (QAction* action : gridMenu_->actions()) action->setEnabled(rows);
  gridMenu_->popup(grid->viewport()->mapToGlobal(at));
}

void TfmTest::CopyRow() {
  if (menuGrid_ == nullptr) return;
  const int row = menuGrid_->currentRow();
  if (row < 0) return;
  QStringList cells;
  for (int column = 0; column < menuGrid_->columnCount(); ++column) {
    const QTableWidgetItem* item = menuGrid_->item(row, column);
    cells << (item == nullptr ? QString() : item->text());
  }
  QGuiApplication::clipboard()->setText(cells.join(QLatin1Char('\t')));
}

void TfmTest::FindInGrid() {
  if (menuGrid_ != nullptr && hooks_.FindInGrid) hooks_.FindInGrid(this, *menuGrid_);
}

void TfmTest::ReadPlace() {
  // Until a place is kept, a size that shows the grids' columns, over the
  // window that opened it rather than in a corner of the screen.
  resize(860, 560);
  const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  const QRect over = owner != nullptr && owner->isVisible()
                         ? owner->frameGeometry()
                         : QGuiApplication::primaryScreen()->availableGeometry();
  move(over.center() - rect().center());
  if (hooks_.Settings == nullptr) return;
  const IniFile& ini = *hooks_.Settings;
  const int width = ini.ReadInteger(kPlaceSection, "TestWidth", 0);
  const int height = ini.ReadInteger(kPlaceSection, "TestHeight", 0);
  if (width < 200 || height < 150) return;
  const QRect wanted(ini.ReadInteger(kPlaceSection, "TestLeft", 0),
                     ini.ReadInteger(kPlaceSection, "TestTop", 0), width, height);
  // A place kept from a screen that is gone would leave the window where
  // its title bar cannot be grabbed: then only the size is kept.
  const QRect titleBar(wanted.left(), wanted.top(), wanted.width(), 30);
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect free = screen->availableGeometry();
    if (free.intersected(titleBar).width() >= 50) {
      resize(std::min(width, free.width()), std::min(height, free.height()));
      move(wanted.topLeft());
      return;
    }
  }
  resize(width, height);
}

void TfmTest::WritePlace() {
  if (hooks_.Settings == nullptr) return;
  const QRect place = isMinimized() || isMaximized() ? normalGeometry() : QRect(pos(), size());
  hooks_.Settings->Update([&place](IniDocument& doc) {
    return doc.WriteInteger(kPlaceSection, "TestTop", place.top()) &&
           doc.WriteInteger(kPlaceSection, "TestLeft", place.left()) &&
           doc.WriteInteger(kPlaceSection, "TestHeight", place.height()) &&
           doc.WriteInteger(kPlaceSection, "TestWidth", place.width());
  });
}

}  // namespace kestrix
