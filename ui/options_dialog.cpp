#include "ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/file_util.h"
#include "core/ini_document.h"
#include "ui/dialog_layout.h"
#include "ui/options_limits.h"

namespace kestrix {

namespace {

constexpr int kMinThreads = 1;
constexpr int kMaxThreads = 10;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TfmOptions::TfmOptions(TShowMessage showMessage, TSaveOptions save, QWidget* parent)
    : QDialog(parent), showMessage_(std::move(showMessage)), save_(std::move(save)) {
  setWindowTitle(QStringLiteral("Options"));
  ChooseFolder = [](QWidget* owner, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, QString(), start);
  };
  ChooseCaFile = [](QWidget* owner, const QString& start) {
    return QFileDialog::getOpenFileName(
        owner, QString(), start, QStringLiteral("Certificates (*.pem *.crt);;All files (*)"));
  };
  pageControl = Named(new QTabWidget(this), "pageControl");
  tabGeneral = Named(BuildGeneralPage(), "tabGeneral");
  tabNetwork = Named(BuildNetworkPage(), "tabNetwork");
  tabProxy = Named(BuildProxyPage(), "tabProxy");
  pageControl->addTab(tabGeneral, QStringLiteral("General"));
  pageControl->addTab(tabNetwork, QStringLiteral("Network"));
  pageControl->addTab(tabProxy, QStringLiteral("Proxy"));
  tabLimits = Named(new TLimitsPage, "tabLimits");
  pageControl->addTab(tabLimits, QStringLiteral("Limits"));
  pageControl->setCurrentWidget(tabGeneral);

  LayOutWithOkCancel(this, pageControl, btnOk, btnCancel);

  connect(btnBrowse, &QToolButton::clicked, this, [this] { Browse(); });
  connect(btnBrowseCaFile, &QToolButton::clicked, this, [this] {
    const QString file = ChooseCaFile(this, editTlsCaFile->text());
    if (!file.isEmpty()) editTlsCaFile->setText(file);
  });
  connect(UpDown, &QScrollBar::valueChanged, this,
          [this](int value) { editThreadCount->setText(QString::number(value)); });
  connect(editThreadCount, &QLineEdit::textChanged, this, [this](const QString& text) {
    // The up-down follows what is typed while it is a worker count.
    const std::optional<int> value = ParseDecimalInt(text.toStdString());
    if (value && *value >= kMinThreads && *value <= kMaxThreads && *value != UpDown->value()) {
      UpDown->setValue(*value);
    }
  });
  editDefaultDoc->installEventFilter(this);
  editThreadCount->installEventFilter(this);
  connect(btnOk, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TfmOptions::BuildGeneralPage() {
  auto* page = new QWidget;
  editDownloadFolder = Named(new QLineEdit(page), "editDownloadFolder");
  btnBrowse = Named(new QToolButton(page), "btnBrowse");
  btnBrowse->setText(QStringLiteral("..."));
  editDefaultDoc = Named(new QLineEdit(page), "editDefaultDoc");

  radioAgent = Named(new QGroupBox(QStringLiteral("User agent :"), page), "radioAgent");
  agentButtons = new QButtonGroup(radioAgent);
  editMSIE = Named(new QLineEdit(radioAgent), "editMSIE");
  editNNAV = Named(new QLineEdit(radioAgent), "editNNAV");
  editOpera = Named(new QLineEdit(radioAgent), "editOpera");
  editAnyBrowser = Named(new QLineEdit(radioAgent), "editAnyBrowser");
  auto* agents = new QGridLayout(radioAgent);
  const struct {
    const char* caption;
    QLineEdit* version;
  } items[] = {{"Anonymouse", nullptr},          {"Microsoft Internet Explorer", editMSIE},
               {"Netscape Navigator", editNNAV}, {"Opera", editOpera},
               {"Any browser", editAnyBrowser},  {"Kestrix (names this program)", nullptr}};
  int index = 0;
  for (const auto& item : items) {
    auto* radio = new QRadioButton(QString::fromLatin1(item.caption), radioAgent);
    agentButtons->addButton(radio, index);
    agents->addWidget(radio, index, 0);
    if (item.version != nullptr) agents->addWidget(item.version, index, 1);
    ++index;
  }
  checkToTray =
      Named(new QCheckBox(QStringLiteral("Minimize to system tray"), page), "checkToTray");

  auto* folder = new QHBoxLayout;
  folder->addWidget(editDownloadFolder);
  folder->addWidget(btnBrowse);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Download folder :"), folder);
  form->addRow(QStringLiteral("Default document name :"), editDefaultDoc);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(radioAgent);
  layout->addWidget(checkToTray);
  layout->addStretch();
  return page;
}

QWidget* TfmOptions::BuildNetworkPage() {
  auto* page = new QWidget;
  editThreadCount = Named(new QLineEdit(page), "editThreadCount");
  // Up raises the count, as on an up-down control.
  UpDown = Named(new QScrollBar(Qt::Vertical, page), "UpDown");
  UpDown->setRange(kMinThreads, kMaxThreads);
  UpDown->setInvertedAppearance(true);
  UpDown->setInvertedControls(true);
  UpDown->setFixedHeight(editThreadCount->sizeHint().height());
  CheckRetry = Named(new QCheckBox(QStringLiteral("Retry if timeout exeed"), page), "CheckRetry");
  CheckOffline = Named(new QCheckBox(QStringLiteral("Work Offline"), page), "CheckOffline");
  checkKeepAlive = Named(new QCheckBox(QStringLiteral("Keep connections open between files"), page),
                         "checkKeepAlive");
  auto* tls = new QGroupBox(QStringLiteral("Secure sites (https) :"), page);
  checkTlsAcceptUnverified =
      Named(new QCheckBox(QStringLiteral("Accept certificates that cannot be verified"), tls),
            "checkTlsAcceptUnverified");
  editTlsCaFile = Named(new QLineEdit(tls), "editTlsCaFile");
  editTlsCaFile->setPlaceholderText(QStringLiteral("none: the system's trusted certificates"));
  // The placeholder reads whole.
  editTlsCaFile->setMinimumWidth(
      editTlsCaFile->fontMetrics().horizontalAdvance(editTlsCaFile->placeholderText()) + 16);
  btnBrowseCaFile = Named(new QToolButton(tls), "btnBrowseCaFile");
  btnBrowseCaFile->setText(QStringLiteral("..."));
  auto* caFile = new QHBoxLayout;
  caFile->addWidget(new QLabel(QStringLiteral("Extra trusted CA file :"), tls));
  caFile->addWidget(editTlsCaFile);
  caFile->addWidget(btnBrowseCaFile);
  auto* tlsLayout = new QVBoxLayout(tls);
  tlsLayout->addLayout(caFile);
  tlsLayout->addWidget(checkTlsAcceptUnverified);
  auto* manners = new QGroupBox(QStringLiteral("Sites :"), page);
  checkHttp10 =
      Named(new QCheckBox(QStringLiteral("HTTP/1.0 requests, without compression (old servers)"),
                          manners),
            "checkHttp10");
  checkCompression = Named(new QCheckBox(QStringLiteral("Ask for compressed replies"), manners),
                           "checkCompression");
  checkFollowRobots =
      Named(new QCheckBox(QStringLiteral("Follow robots.txt rules"), manners), "checkFollowRobots");
  spinHostConnections = Named(new QSpinBox(manners), "spinHostConnections");
  spinHostConnections->setRange(1, kMaxThreads);
  spinWait = Named(new QDoubleSpinBox(manners), "spinWait");
  spinWait->setRange(0, 3600);
  spinWait->setDecimals(1);
  spinWait->setSuffix(QStringLiteral(" s"));
  auto* mannersForm = new QFormLayout;
  mannersForm->addRow(QStringLiteral("Requests to one host at once :"), spinHostConnections);
  mannersForm->addRow(QStringLiteral("Pause between requests to one host :"), spinWait);
  auto* mannersLayout = new QVBoxLayout(manners);
  mannersLayout->addWidget(checkHttp10);
  mannersLayout->addWidget(checkCompression);
  mannersLayout->addWidget(checkFollowRobots);
  mannersLayout->addLayout(mannersForm);
  connect(checkHttp10, &QCheckBox::toggled, checkCompression, &QWidget::setDisabled);
  auto* threads = new QHBoxLayout;
  threads->addWidget(new QLabel(QStringLiteral("Threads retrieval:"), page));
  threads->addWidget(editThreadCount);
  threads->addWidget(UpDown);
  threads->addStretch();
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(threads);
  layout->addWidget(CheckRetry);
  layout->addWidget(CheckOffline);
  layout->addWidget(checkKeepAlive);
  layout->addWidget(manners);
  layout->addWidget(tls);
  layout->addStretch();
  return page;
}

QWidget* TfmOptions::BuildProxyPage() {
  auto* page = new QWidget;
  radioDirect = Named(new QRadioButton(QStringLiteral("Direct conection"), page), "radioDirect");
  radioProxy = Named(new QRadioButton(QStringLiteral("HTTP proxy"), page), "radioProxy");
  radioDirect->setChecked(true);
  editProxyHost = Named(new QLineEdit(page), "editProxyHost");
  editProxyPort = Named(new QLineEdit(page), "editProxyPort");
  editProxyUser = Named(new QLineEdit(page), "editProxyUser");
  editProxyPswd = Named(new QLineEdit(page), "editProxyPswd");
  editProxyPswd->setEchoMode(QLineEdit::Password);
  checkNoCach = Named(new QCheckBox(QStringLiteral("No cache"), page), "checkNoCach");
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host :"), editProxyHost);
  form->addRow(QStringLiteral("Port :"), editProxyPort);
  form->addRow(QStringLiteral("Username:"), editProxyUser);
  form->addRow(QStringLiteral("Password:"), editProxyPswd);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(radioDirect);
  layout->addWidget(radioProxy);
  layout->addLayout(form);
  layout->addWidget(checkNoCach);
  layout->addStretch();
  return page;
}

void TfmOptions::GetOptionsVar(const TGlobalOptions& o, bool offline) {
  options_ = o;
  options_.GlobalOfflineFlag = offline;
  editDownloadFolder->setText(Text(o.DownLoadFolder));
  editDefaultDoc->setText(Text(o.DefaultDoc));
  tabLimits->Show(o);
  if (QAbstractButton* agent = agentButtons->button(o.Agent)) {
    agent->setChecked(true);
  } else if (QAbstractButton* checked = agentButtons->checkedButton()) {
    // An unknown stored choice shows none; Ok stores it back unchanged.
    agentButtons->setExclusive(false);
    checked->setChecked(false);
    agentButtons->setExclusive(true);
  }
  editMSIE->setText(Text(o.MSIEVer));
  editNNAV->setText(Text(o.NNAVVer));
  editOpera->setText(Text(o.OperaVer));
  editAnyBrowser->setText(Text(o.AnyBrowser));
  checkToTray->setChecked(o.ToTray);
  UpDown->setValue(qBound(kMinThreads, o.ThreadCount, kMaxThreads));
  editThreadCount->setText(QString::number(o.ThreadCount));
  CheckRetry->setChecked(o.RetryFlag);
  CheckOffline->setChecked(offline);
  checkKeepAlive->setChecked(o.KeepAlive);
  checkHttp10->setChecked(o.UseHttp10);
  checkCompression->setChecked(o.Compression);
  checkCompression->setDisabled(o.UseHttp10);
  checkFollowRobots->setChecked(o.FollowRobots);
  spinHostConnections->setValue(o.PerHostConnections);
  spinWait->setValue(o.WaitMs / 1000.0);
  checkTlsAcceptUnverified->setChecked(o.TlsAcceptUnverified);
  editTlsCaFile->setText(Text(o.TlsCaFile));
  radioDirect->setChecked(o.DirectFlag);
  radioProxy->setChecked(o.ProxyFlag);
  editProxyHost->setText(Text(o.ProxyHost));
  editProxyPort->setText(Text(o.ProxyPort));
  editProxyUser->setText(Text(o.ProxyUser));
  editProxyPswd->setText(Text(o.ProxyPswd));
  checkNoCach->setChecked(o.ProxyCach);
}

TGlobalOptions TfmOptions::SetOptionsVar() const {
  TGlobalOptions o = options_;
  std::string folder = editDownloadFolder->text().toStdString();
  if (!folder.ends_with('/')) folder += '/';
  o.DownLoadFolder = folder;
  o.DefaultDoc = editDefaultDoc->text().toStdString();
  o.ToTray = checkToTray->isChecked();
  o.ThreadCount = UpDown->value();
  o.RetryFlag = CheckRetry->isChecked();
  o.GlobalOfflineFlag = CheckOffline->isChecked();
  o.KeepAlive = checkKeepAlive->isChecked();
  o.UseHttp10 = checkHttp10->isChecked();
  o.Compression = checkCompression->isChecked();
  o.FollowRobots = checkFollowRobots->isChecked();
  o.PerHostConnections = spinHostConnections->value();
  o.WaitMs = static_cast<int>(spinWait->value() * 1000 + 0.5);
  o.TlsAcceptUnverified = checkTlsAcceptUnverified->isChecked();
  o.TlsCaFile = editTlsCaFile->text().trimmed().toStdString();
  o.DirectFlag = radioDirect->isChecked();
  o.ProxyFlag = radioProxy->isChecked();
  o.ProxyHost = editProxyHost->text().toStdString();
  o.ProxyPort = editProxyPort->text().toStdString();
  o.ProxyUser = editProxyUser->text().toStdString();
  o.ProxyPswd = editProxyPswd->text().toStdString();
  o.ProxyCach = checkNoCach->isChecked();
  if (agentButtons->checkedId() >= 0) o.Agent = agentButtons->checkedId();
  o.MSIEVer = editMSIE->text().toStdString();
  o.NNAVVer = editNNAV->text().toStdString();
  o.OperaVer = editOpera->text().toStdString();
  o.AnyBrowser = editAnyBrowser->text().toStdString();
  return o;
}

void TfmOptions::Tell(const QString& text) {
  if (showMessage_) showMessage_(this, TMessageKind::Error, text);
}

void TfmOptions::Browse() {
  QString folder = ChooseFolder(this, editDownloadFolder->text());
  if (folder.isEmpty()) return;
  if (!folder.endsWith(u'/')) folder += u'/';
  editDownloadFolder->setText(folder);
}

void TfmOptions::CheckDefaultDoc() {
  if (!editDefaultDoc->text().isEmpty()) return;
  Tell(QStringLiteral("Default document name is empty!"));
  editDefaultDoc->setText(QStringLiteral("index.html"));
}

void TfmOptions::CheckThreadCount() {
  const QString text = editThreadCount->text();
  const std::optional<int> value = ParseDecimalInt(text.toStdString());
  if (!value) {
    Tell(QStringLiteral("Treads: ") +
         QStringLiteral("'%1' is not a valid integer value").arg(text));
  } else if (*value < kMinThreads || *value > kMaxThreads) {
    Tell(QStringLiteral("Treads: ") + QStringLiteral("%1 is not within the valid range of %2..%3")
                                          .arg(*value)
                                          .arg(kMinThreads)
                                          .arg(kMaxThreads));
  } else {
    return;
  }
  editThreadCount->setText(QStringLiteral("1"));
}

bool TfmOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    if (watched == editDefaultDoc) CheckDefaultDoc();
    if (watched == editThreadCount) CheckThreadCount();
  }
  return QDialog::eventFilter(watched, event);
}

void TfmOptions::TryAccept() {
  // The same checks as on leaving the boxes, for a click that left none.
  CheckDefaultDoc();
  CheckThreadCount();
  // Every download path is built by appending to this folder; a relative one
  // would depend on where the program happened to be started.
  if (!editDownloadFolder->text().startsWith(u'/')) {
    pageControl->setCurrentWidget(tabGeneral);
    editDownloadFolder->setFocus();
    Tell(QStringLiteral("The download folder must be a full path, beginning with \"/\": ") +
         editDownloadFolder->text());
    return;
  }
  TGlobalOptions edited = SetOptionsVar();
  // A running download keeps writing below the folder it started in, and
  // its history would go to the new one.
  if (folderLocked_ && edited.DownLoadFolder != options_.DownLoadFolder) {
    pageControl->setCurrentWidget(tabGeneral);
    editDownloadFolder->setFocus();
    Tell(QStringLiteral("The download folder cannot change while a download runs. Stop the "
                        "download first, or put back ") +
         Text(options_.DownLoadFolder));
    return;
  }
  if (const QString wrong = tabLimits->Take(edited); !wrong.isEmpty()) {
    pageControl->setCurrentWidget(tabLimits);
    Tell(wrong);
    return;
  }
  // Said now rather than by a run that saves nothing; the folder may yet
  // come (a drive not mounted), so the options are taken all the same.
  if (const std::string problem = FolderProblem(edited.DownLoadFolder); !problem.empty()) {
    Tell(QStringLiteral("The download folder cannot be created or written: ") +
         Text(edited.DownLoadFolder) + QStringLiteral(": ") + Text(problem));
  }
  if (save_) {
    if (const std::string error = save_(edited); !error.empty()) {
      Tell(Text(error));
      return;
    }
  }
  options_ = edited;
  accept();
}

}  // namespace kestrix
