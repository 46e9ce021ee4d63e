#include "exploration/explorer_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "browser/page_charset.h"
#include "core/declared_charset.h"
#include "exploration/filter_links_dialog.h"
#include "links/html_parser.h"
#include "links/script_resolver.h"
#include "ui/artwork.h"
#include "ui/grid_columns.h"

namespace kestrix {

namespace {

QString Text(const std::string& text) {
  return GridText(text, std::string());
}

QTableWidget* Grid(const QStringList& headers, QWidget* parent) {
  auto* grid = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  grid->setHorizontalHeaderLabels(headers);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setWordWrap(false);
  grid->verticalHeader()->hide();
  FitColumns(*grid);
  return grid;
}

// `url` is the link's own bytes, kept for "Go to next level": the text shown
// may not turn back into them.
void AddRow(QTableWidget* grid, TLinkType type, const QStringList& cells, const std::string& url) {
  const int row = grid->rowCount();
  grid->insertRow(row);
  for (int i = 0; i < cells.size(); ++i) {
    auto* item = new QTableWidgetItem(cells[i]);
    item->setToolTip(cells[i]);
    grid->setItem(row, i, item);
  }
  grid->item(row, 0)->setIcon(QIcon(LinkTypePixmap(static_cast<int>(type))));
  grid->item(row, 0)->setData(Qt::UserRole, QByteArray::fromStdString(url));
}

}  // namespace

TfmTest::TfmTest(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver,
                 TExplorerWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window),
      options_(options),
      hooks_(std::move(hooks)),
      test_(std::make_unique<TExplorer>(options, parser, resolver)) {
  Init();
}

void TfmTest::Init() {
  setWindowTitle(QStringLiteral("Exploration test"));
  Build();
  test_->OnStatus = [this](const std::string& text) { status_->setText(Text(text)); };
  test_->OnLog = [this](const std::string& text) { log_->appendPlainText(Text(text)); };
  test_->OnChanged = [this] { ShowEntry(); };
  test_->OnFetchDone = [this] { FetchDone(); };
  ReadPlace();
}

TfmTest::TfmTest(const TGlobalOptions& options, TExplorerWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window),
      options_(options),
      ownParser_(std::make_unique<THTMLParser>()),
      ownResolver_(std::make_unique<NullScriptResolver>()),
      hooks_(std::move(hooks)),
      test_(std::make_unique<TExplorer>(options, *ownParser_, *ownResolver_)) {
  Init();
}

TfmTest::~TfmTest() {
  // Leaving the program with the window open keeps its place too.
  if (isVisible()) WritePlace();
  // Exiting aborts a fetch that still runs; the test reports nothing after.
  test_->OnStatus = nullptr;
  test_->OnLog = nullptr;
  test_->OnChanged = nullptr;
  test_->OnFetchDone = nullptr;
  test_.reset();
}

QPushButton* TfmTest::AddButton(const QString& name, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  return button;
}

void TfmTest::Build() {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  urls_ = new QComboBox(this);
  urls_->setObjectName(QStringLiteral("comboUrl"));
  urls_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  top->addWidget(urls_);
  QPushButton* get = AddButton(QStringLiteral("btnGetUrl"), QStringLiteral("Get Url"), this);
  QPushButton* stop = AddButton(QStringLiteral("btnStop"), QStringLiteral(" Stop"), this);
  top->addWidget(get);
  top->addWidget(stop);
  layout->addLayout(top);
  for (const char* name :
       {"lblLocation", "lblDepth", "lblParent", "lblFileName", "lblFileSize", "lblState"}) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
  }

  pages_ = new QTabWidget(this);
  auto* viewer = new QWidget(pages_);
  auto* viewerLayout = new QVBoxLayout(viewer);
  auto* tools = new QHBoxLayout;
  QPushButton* parse = AddButton(QStringLiteral("btnParse"), QStringLiteral("Parse html"), viewer);
  QPushButton* job =
      AddButton(QStringLiteral("btnJobProperty"), QStringLiteral("Job Property"), viewer);
  QPushButton* clear =
      AddButton(QStringLiteral("btnDeleteAll"), QStringLiteral("Delete all"), viewer);
  QPushButton* filter = AddButton(QStringLiteral("btnFilter"), QStringLiteral("Filter"), viewer);
  for (QPushButton* button : {parse, job, clear, filter}) tools->addWidget(button);
  tools->addStretch();
  viewerLayout->addLayout(tools);
  enabledCount_ = new QLabel(QStringLiteral("Enabled links :  0"), viewer);
  viewerLayout->addWidget(enabledCount_);
  enabledGrid_ =
      Grid({QStringLiteral("URL"), QStringLiteral("Linked text"), QStringLiteral("Location type"),
            QStringLiteral("Request metod"), QStringLiteral("Post data")},
           viewer);
  enabledGrid_->setObjectName(QStringLiteral("strGridEnabled"));
  viewerLayout->addWidget(enabledGrid_);
  disabledCount_ = new QLabel(QStringLiteral("Disabled links :  0"), viewer);
  viewerLayout->addWidget(disabledCount_);
  disabledGrid_ = Grid(
      {QStringLiteral("URL"), QStringLiteral("Linked text"), QStringLiteral("Event: \"onClick\""),
       QStringLiteral("Location type"), QStringLiteral("Depth"), QStringLiteral("Message")},
      viewer);
  disabledGrid_->setObjectName(QStringLiteral("strGridDisabled"));
  viewerLayout->addWidget(disabledGrid_);
  auto* steps = new QHBoxLayout;
  QPushButton* next =
      AddButton(QStringLiteral("btnNextLevel"), QStringLiteral("Go to next level"), viewer);
  QPushButton* back = AddButton(QStringLiteral("btnBack"), QStringLiteral("Back"), viewer);
  steps->addWidget(next);
  steps->addWidget(back);
  steps->addStretch();
  viewerLayout->addLayout(steps);
  pages_->addTab(viewer, QStringLiteral("Link viewer"));

  pages_->addTab(BuildHtmlPage(), QStringLiteral("Html"));

  auto* logPage = new QWidget(pages_);
  auto* logLayout = new QVBoxLayout(logPage);
  QPushButton* clearLog =
      AddButton(QStringLiteral("btnClearLog"), QStringLiteral("Clear log"), logPage);
  logLayout->addWidget(clearLog);
  log_ = new QPlainTextEdit(logPage);
  log_->setReadOnly(true);
  logLayout->addWidget(log_);
  pages_->addTab(logPage, QStringLiteral("Log"));
  layout->addWidget(pages_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("StatusBar"));
  layout->addWidget(status_);

  connect(get, &QPushButton::clicked, this, [this] { GetUrl(); });
  connect(stop, &QPushButton::clicked, this, [this] { test_->Stop(); });
  connect(parse, &QPushButton::clicked, this, [this] { ParseHtml(); });
  connect(job, &QPushButton::clicked, this, [this] { EditJob(); });
  connect(clear, &QPushButton::clicked, this, [this] { DeleteAll(); });
  connect(filter, &QPushButton::clicked, this, [this] { EditFilter(); });
  connect(next, &QPushButton::clicked, this, [this] { NextLevel(); });
  connect(back, &QPushButton::clicked, this, [this] { Back(); });
  connect(clearLog, &QPushButton::clicked, log_, &QPlainTextEdit::clear);
  connect(urls_, &QComboBox::activated, this, [this](int index) {
    if (index != test_->CurrentIndex() && !test_->Running()) {
      test_->NextLevel(std::string(test_->Entries().Url(index)));
      AfterStep();
    }
  });
  BuildGridMenu();
  resize(760, 620);
}

QPushButton* TfmTest::Button(const QString& name) const {
  return findChild<QPushButton*>(name);
}

QString TfmTest::StatusText() const {
  return status_->text();
}

QString TfmTest::HtmlText() const {
  return html_->toPlainText();
}

QString TfmTest::LabelText(const QString& name) const {
  const QLabel* label = findChild<QLabel*>(name);
  return label == nullptr ? QString() : label->text();
}

bool TfmTest::CreateNewThread(const TJobRecord& job, int32_t jobNumber) {
  if (!test_->CreateNewThread(job, jobNumber)) return false;
  log_->clear();
  return true;
}

void TfmTest::GetUrl() {
  test_->GetUrl();
}

void TfmTest::NextLevel() {
  const int row = enabledGrid_->currentRow();
  if (row < 0 || enabledGrid_->item(row, 0) == nullptr) return;
  test_->NextLevel(enabledGrid_->item(row, 0)->data(Qt::UserRole).toByteArray().toStdString());
  AfterStep();
}

void TfmTest::Back() {
  test_->Back();
  AfterStep();
}

void TfmTest::ParseHtml() {
  test_->ParseLinks();
}

void TfmTest::DeleteAll() {
  if (test_->Running()) {
    if (hooks_.Tell) hooks_.Tell(this, QString::fromLatin1(kConnectionOpenText));
    return;
  }
  if (hooks_.Ask && !hooks_.Ask(this, QStringLiteral("Clear all parsed links and disk cache ?"))) {
    return;
  }
  test_->DeleteAll();
  status_->clear();  // the count of the links just cleared
  AfterStep();
}

void TfmTest::EditJob() {
  TJobRecord job = test_->Job();
  if (hooks_.EditJob && hooks_.EditJob(this, job)) test_->SetJob(job);
}

void TfmTest::EditFilter() {
  TLinkFilter filter = test_->Filter;
  bool accepted = false;
  if (hooks_.EditFilter) {
    accepted = hooks_.EditFilter(this, filter);
  } else {
    TfmFilterLinks dialog(this);
    dialog.SetFilter(filter);
    accepted = dialog.exec() == QDialog::Accepted;
    filter = dialog.Filter();
  }
  if (!accepted) return;
  test_->Filter = filter;
  test_->ParseLinks();
}

void TfmTest::closeEvent(QCloseEvent* event) {
  if (test_->Running()) {
    event->ignore();
    if (hooks_.Tell) hooks_.Tell(this, QString::fromLatin1(kConnectionOpenText));
    return;
  }
  WritePlace();
  QWidget::closeEvent(event);
}

void TfmTest::ShowEntry() {
  if (!test_->HasJob()) return;
  const TRetriveRec& entry = test_->Current();
  {
    const QSignalBlocker block(urls_);
    urls_->clear();
    for (int32_t i = 0; i < test_->Entries().Count(); ++i) {
      urls_->addItem(Text(std::string(test_->Entries().Url(i))));
    }
    urls_->setCurrentIndex(test_->CurrentIndex());
  }
  const auto set = [this](const char* name, const QString& text) {
    if (auto* label = findChild<QLabel*>(QString::fromLatin1(name))) label->setText(text);
  };
  set("lblLocation", QStringLiteral("Location: ") + Text(entry.Job.editUrl));
  set("lblDepth", QStringLiteral("Depth       :") + QString::number(entry.Depth));
  set("lblParent", entry.ParentIndex < 0
                       ? QStringLiteral("Parent Url : no parent")
                       : QStringLiteral("Parent Url : ") +
                             Text(std::string(test_->Entries().Url(entry.ParentIndex))));
  set("lblFileName", QStringLiteral("File name  :") + Text(test_->CurrentPath()));
  set("lblFileSize", QStringLiteral("File size     :") + QString::number(entry.ReceivedSize));
  set("lblState",
      QStringLiteral("State :") + (test_->Running() ? QStringLiteral("fetching") : QString()));
  // Laying out a large page again for every parse or filter would stall
  // the window: the text view is refilled only when the page changed.
  if (!test_->Running() && test_->HtmlText() != shownHtml_) {
    shownHtml_ = test_->HtmlText();
    html_->setPlainText(GridText(shownHtml_, PageCharset()));
  }
  Button(QStringLiteral("btnParse"))->setEnabled(test_->CanParse());
  Button(QStringLiteral("btnSaveHtml"))->setEnabled(HasSavedFile());
  FillGrids();
}

std::string TfmTest::PageCharset() const {
  const bool converted = test_->HasJob() && test_->Current().IsHtml &&
                         Koi8Converts(test_->Job(), test_->Current().RemoteFlag);
  return SavedPageCharset(test_->HtmlText(), converted);
}

void TfmTest::FillGrids() {
  enabledGrid_->setRowCount(0);
  disabledGrid_->setRowCount(0);
  // Texts from the page are in its own charset.
  const std::string charset = PageCharset();
  const auto page = [&charset](const std::string& bytes) { return GridText(bytes, charset); };
  for (const TTestLink& link : test_->Links()) {
    const QString location = link.Remote ? QStringLiteral("Remote") : QStringLiteral("Local");
    if (link.Enabled) {
      AddRow(enabledGrid_, link.Type,
             {page(link.Url), page(link.LinkedText), location,
              link.RequestMethod == kMethodPost ? QStringLiteral("Post") : QStringLiteral("Get"),
              page(link.PostData)},
             link.Url);
    } else {
      AddRow(disabledGrid_, link.Type,
             {page(link.Url), page(link.LinkedText), page(link.OnClick), location,
              QString::number(link.Depth), Text(link.Message)},
             link.Url);
    }
  }
  enabledCount_->setText(QStringLiteral("Enabled links :  ") +
                         QString::number(enabledGrid_->rowCount()));
  disabledCount_->setText(QStringLiteral("Disabled links :  ") +
                          QString::number(disabledGrid_->rowCount()));
  // Wide enough for the page's links, a long URL whole in its hint.
  FitColumns(*enabledGrid_);
  FitColumns(*disabledGrid_);
  if (enabledGrid_->rowCount() > 0) enabledGrid_->selectRow(0);
  if (disabledGrid_->rowCount() > 0) disabledGrid_->selectRow(0);
}

}  // namespace kestrix
