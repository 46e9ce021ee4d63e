#include "ui/job_property_dialog.h"
#include "ui/dialog_layout.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

// A radio button that a click only ever switches on, as a radio button
// should; the pairs are kept exclusive by hand, because a record may hold
// both of a pair off and a double click switches one off again.
class TRadioButton : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override {
    if (!isChecked()) setChecked(true);
  }
};

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
  return Named(new QCheckBox(QString::fromLatin1(caption), parent), name);
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* caption) {
  auto* radio = Named(new TRadioButton(QString::fromLatin1(caption), parent), name);
  radio->setAutoExclusive(false);
  return radio;
}

QLineEdit* Edit(QWidget* parent, const char* name) {
  return Named(new QLineEdit(parent), name);
}

}  // namespace

struct TfmProperty::TFilterControls {
  QCheckBox*& koi8;
  QCheckBox*& retrieveFile;
  QLineEdit*& retrieveFileEdit;
  QToolButton*& retrieveFileButton;
  QCheckBox*& ignoreFile;
  QLineEdit*& ignoreFileEdit;
  QToolButton*& ignoreFileButton;
  QCheckBox*& retrieveLink;
  QLineEdit*& retrieveLinkEdit;
  QToolButton*& retrieveLinkButton;
  QCheckBox*& ignoreLink;
  QLineEdit*& ignoreLinkEdit;
  QToolButton*& ignoreLinkButton;
};

TfmProperty::TfmProperty(TShowMessage showMessage, QWidget* parent)
    : QDialog(parent), showMessage_(std::move(showMessage)) {
  setWindowTitle(QStringLiteral("Property"));
  pageControl = Named(new QTabWidget(this), "pageControl");
  tabGeneral = Named(BuildGeneralPage(), "tabGeneral");
  pageControl->addTab(tabGeneral, QStringLiteral("General"));
  tablclExploration =
      Named(BuildFilterPage(
                {lclcheckKoi8, lclCheckRetriveFile, lcleditRetriveFile, lclbtnEditRetrieveFile,
                 lclCheckIgnoreFile, lcleditIgnoreFile, lclbtnEditIgnoreFile, lclcheckRetrieveLink,
                 lcleditRetrieveLink, lclbtnEditRetrieveLink, lclcheckIgnoreLink, lcleditIgnoreLink,
                 lclbtnEditIgnoreLink},
                QStringLiteral("lcl")),
            "tablclExploration");
  pageControl->addTab(tablclExploration, QStringLiteral(" Local links filters "));
  tabrmtExploration =
      Named(BuildFilterPage(
                {rmtcheckKoi8, rmtCheckRetriveFile, rmteditRetrieveFile, rmtbtnEditRetrieveFile,
                 rmtCheckIgnoreFile, rmteditIgnoreFile, rmtbtnEditIgnoreFile, rmtcheckRetrieveLink,
                 rmteditRetrieveLink, rmtbtnEditRetrieveLink, rmtcheckIgnoreLink, rmteditIgnoreLink,
                 rmtbtnEditIgnoreLink},
                QStringLiteral("rmt")),
            "tabrmtExploration");
  pageControl->addTab(tabrmtExploration, QStringLiteral(" Remote links filters"));

  LayOutWithOkCancel(this, pageControl, btnOk, btnCancel);

  ConnectRules();
  pageControl->setCurrentWidget(tabGeneral);
  btnOk->setEnabled(false);
  // Until a record says otherwise nothing remote is followed, and the
  // linkage details only matter for offline browsing.
  groupRemote->setEnabled(false);
  lblRmtExploration->setEnabled(false);
  for (QWidget* control : std::initializer_list<QWidget*>{
           lblRmtDepth, EditRmtDepth, radioRmtThisPath, radioRmtThisServer, checkRmtLoadImg}) {
    control->setEnabled(false);
  }
  checkAddHtmExt->setChecked(true);
  checkAddHtmExt->setEnabled(false);
  checkLinkToUrl->setEnabled(false);
}

QWidget* TfmProperty::BuildGeneralPage() {
  auto* page = new QWidget;
  editUrl = Edit(page, "editUrl");

  auto* local = new QGroupBox(QStringLiteral("Local links exploration :"), page);
  editDepth = Edit(local, "editDepth");
  radioThisPath = Radio(local, "radioThisPath", "Download only on this path");
  radioThisServer = Radio(local, "radioThisServer", "Download only this server");
  checkOtherServers = Check(local, "checkOtherServers", "Download from other servers");
  checkLoadImg = Check(local, "checkLoadImg", "Load images");
  auto* localLayout = new QGridLayout(local);
  localLayout->addWidget(new QLabel(QStringLiteral("Depth for local links:"), local), 0, 0);
  localLayout->addWidget(editDepth, 0, 1);
  localLayout->addWidget(radioThisPath, 1, 0, 1, 2);
  localLayout->addWidget(radioThisServer, 2, 0, 1, 2);
  localLayout->addWidget(checkOtherServers, 3, 0, 1, 2);
  localLayout->addWidget(checkLoadImg, 4, 0, 1, 2);

  auto* linkage = new QGroupBox(QStringLiteral("Linkage :"), page);
  checkLocalize = Check(linkage, "checkLocalize", "Offline Browse:");
  checkReplicate = Check(linkage, "checkReplicate", "Replicate the directory structure ");
  checkAddHtmExt = Check(linkage, "checkAddHtmExt", "Add .htm extension to a HTML files");
  checkLinkToUrl = Check(linkage, "checkLinkToUrl", "Replace unretrieved  links to a URL");
  auto* linkageLayout = new QVBoxLayout(linkage);
  for (QWidget* control : {checkLocalize, checkReplicate, checkAddHtmExt, checkLinkToUrl}) {
    linkageLayout->addWidget(control);
  }

  lblRmtExploration =
      Named(new QLabel(QStringLiteral("Remote links exploration :"), page), "lblRmtExploration");
  groupRemote = Named(new QGroupBox(page), "groupRemote");
  lblRmtDepth =
      Named(new QLabel(QStringLiteral("Depth for remote links:"), groupRemote), "lblRmtDepth");
  EditRmtDepth = Edit(groupRemote, "EditRmtDepth");
  radioRmtThisPath = Radio(groupRemote, "radioRmtThisPath", "Limit by server name and path");
  radioRmtThisServer = Radio(groupRemote, "radioRmtThisServer", "Limit by server name only");
  checkRmtLoadImg = Check(groupRemote, "checkRmtLoadImg", "Load images from remote servers");
  auto* remoteLayout = new QGridLayout(groupRemote);
  remoteLayout->addWidget(lblRmtDepth, 0, 0);
  remoteLayout->addWidget(EditRmtDepth, 0, 1);
  remoteLayout->addWidget(radioRmtThisPath, 1, 0, 1, 2);
  remoteLayout->addWidget(radioRmtThisServer, 2, 0, 1, 2);
  remoteLayout->addWidget(checkRmtLoadImg, 3, 0, 1, 2);

  auto* other = new QGroupBox(QStringLiteral("Other :"), page);
  checkLoadEmbed = Check(other, "checkLoadEmbed", "Load embedded objects,  iFrames");
  checkLoadStyle = Check(other, "checkLoadStyle", "Load style sheets");
  checkLoadScript = Check(other, "checkLoadScript", "Load scripts, explore \"JavaScript\" urls");
  checkRecordWarc = Check(other, "checkRecordWarc", "Record a web archive (WARC)");
  auto* otherLayout = new QVBoxLayout(other);
  for (QWidget* control : {checkLoadEmbed, checkLoadStyle, checkLoadScript, checkRecordWarc}) {
    otherLayout->addWidget(control);
  }

  auto* url = new QHBoxLayout;
  url->addWidget(new QLabel(QStringLiteral("URL :"), page));
  url->addWidget(editUrl);
  auto* remote = new QVBoxLayout;
  remote->addWidget(lblRmtExploration);
  remote->addWidget(groupRemote);
  auto* grid = new QGridLayout;
  grid->addWidget(local, 0, 0);
  grid->addWidget(linkage, 0, 1);
  grid->addLayout(remote, 1, 0);
  grid->addWidget(other, 1, 1);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(url);
  layout->addLayout(grid);
  layout->addStretch();
  return page;
}

QWidget* TfmProperty::BuildFilterPage(const TFilterControls& c, const QString& prefix) {
  auto* page = new QWidget;
  const auto name = [&prefix](const char* role) { return prefix + QString::fromLatin1(role); };
  const auto check = [&](QWidget* parent, const char* role, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(name(role));
    return box;
  };
  const auto edit = [&](QWidget* parent, const QString& objectName) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(objectName);
    return box;
  };
  const auto button = [&](QWidget* parent, const char* role) {
    auto* flat = new QToolButton(parent);
    flat->setObjectName(name(role));
    flat->setText(QStringLiteral("..."));
    flat->setAutoRaise(true);
    return flat;
  };
  c.koi8 = check(page, "checkKoi8", "KOI8r decode enable");

  auto* files = new QGroupBox(QStringLiteral("File name :"), page);
  c.retrieveFile = check(files, "CheckRetriveFile", "Retrieve only files content this patterns");
  // The two halves spell the retrieve-file box differently, as the stored
  // records name their fields.
  c.retrieveFileEdit = edit(
      files, prefix == QStringLiteral("lcl") ? name("editRetriveFile") : name("editRetrieveFile"));
  c.retrieveFileButton = button(files, "btnEditRetrieveFile");
  c.ignoreFile = check(files, "CheckIgnoreFile", "Ignore files content this patterns");
  c.ignoreFileEdit = edit(files, name("editIgnoreFile"));
  c.ignoreFileButton = button(files, "btnEditIgnoreFile");

  auto* links = new QGroupBox(QStringLiteral("Linked text :"), page);
  c.retrieveLink =
      check(links, "checkRetrieveLink", "Retrieve, if linked text content this patterns");
  c.retrieveLinkEdit = edit(links, name("editRetrieveLink"));
  c.retrieveLinkButton = button(links, "btnEditRetrieveLink");
  c.ignoreLink = check(links, "checkIgnoreLink", "Ignore, if linked text content this patterns");
  c.ignoreLinkEdit = edit(links, name("editIgnoreLink"));
  c.ignoreLinkButton = button(links, "btnEditIgnoreLink");

  const auto fill = [](QGroupBox* group, QCheckBox* first, QLineEdit* firstEdit,
                       QToolButton* firstButton, QCheckBox* second, QLineEdit* secondEdit,
                       QToolButton* secondButton) {
    auto* grid = new QGridLayout(group);
    grid->addWidget(first, 0, 0, 1, 2);
    grid->addWidget(firstEdit, 1, 0);
    grid->addWidget(firstButton, 1, 1);
    grid->addWidget(second, 2, 0, 1, 2);
    grid->addWidget(secondEdit, 3, 0);
    grid->addWidget(secondButton, 3, 1);
  };
  fill(files, c.retrieveFile, c.retrieveFileEdit, c.retrieveFileButton, c.ignoreFile,
       c.ignoreFileEdit, c.ignoreFileButton);
  fill(links, c.retrieveLink, c.retrieveLinkEdit, c.retrieveLinkButton, c.ignoreLink,
       c.ignoreLinkEdit, c.ignoreLinkButton);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(QStringLiteral("Use (;)  to separete entries."), page));
  layout->addWidget(c.koi8);
  layout->addWidget(files);
  layout->addWidget(links);
  layout->addStretch();
  return page;
}

}  // namespace kestrix
