// What the job property dialog does: loading and storing the record, the
// enabling rules that follow the check marks, and the pattern editor buttons.
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include "core/ini_document.h"
#include "core/job_url.h"
#include "core/url_split.h"
#include "ui/job_property_dialog.h"
#include "ui/pattern_editor.h"

namespace kestrix {

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// One pattern or stored mask per line.
QString PatternHint(QString text) {
  return text.replace(u'|', u'\n').replace(u';', u'\n');
}

}  // namespace

void TfmProperty::ConnectRules() {
  connect(editUrl, &QLineEdit::textChanged, this,
          [this](const QString& text) { btnOk->setEnabled(!text.isEmpty()); });
  connect(radioThisPath, &QRadioButton::toggled, this, [this](bool on) {
    if (on) radioThisServer->setChecked(false);
    UpdateRemoteGroup();
  });
  connect(radioThisServer, &QRadioButton::toggled, this, [this](bool on) {
    if (on) radioThisPath->setChecked(false);
    UpdateRemoteGroup();
  });
  connect(checkOtherServers, &QCheckBox::toggled, this, [this] { UpdateRemoteGroup(); });
  connect(radioRmtThisPath, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RemoteRadioOn(radioRmtThisServer);
  });
  connect(radioRmtThisServer, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RemoteRadioOn(radioRmtThisPath);
  });
  radioRmtThisPath->installEventFilter(this);
  radioRmtThisServer->installEventFilter(this);
  connect(checkLocalize, &QCheckBox::toggled, this, [this](bool on) {
    // The check marks stay as they are: only offline browsing uses them.
    checkAddHtmExt->setEnabled(on);
    checkLinkToUrl->setEnabled(on);
  });

  const struct {
    QToolButton* button;
    QLineEdit* box;
    bool showMask;
  } patternBoxes[] = {
      {lclbtnEditRetrieveFile, lcleditRetriveFile, true},
      {lclbtnEditIgnoreFile, lcleditIgnoreFile, false},
      {lclbtnEditRetrieveLink, lcleditRetrieveLink, true},
      {lclbtnEditIgnoreLink, lcleditIgnoreLink, false},
      {rmtbtnEditRetrieveFile, rmteditRetrieveFile, true},
      {rmtbtnEditIgnoreFile, rmteditIgnoreFile, true},
      {rmtbtnEditRetrieveLink, rmteditRetrieveLink, true},
      {rmtbtnEditIgnoreLink, rmteditIgnoreLink, true},
  };
  for (const auto& entry : patternBoxes) {
    QLineEdit* box = entry.box;
    const bool showMask = entry.showMask;
    connect(box, &QLineEdit::textChanged, box,
            [box](const QString& text) { box->setToolTip(PatternHint(text)); });
    connect(entry.button, &QToolButton::clicked, this,
            [this, box, showMask] { EditPatterns(box, showMask); });
  }
  connect(btnOk, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmProperty::UpdateRemoteGroup() {
  const bool on = checkOtherServers->isChecked();
  groupRemote->setEnabled(on);
  lblRmtExploration->setEnabled(on);
  // The remote depth keeps its own state: it follows the remote radio buttons.
  for (QWidget* control :
       std::initializer_list<QWidget*>{radioRmtThisPath, radioRmtThisServer, checkRmtLoadImg}) {
    control->setEnabled(on);
  }
  if (!on) {
    lblRmtDepth->setEnabled(false);
    EditRmtDepth->setEnabled(false);
    radioRmtThisPath->setChecked(false);
    radioRmtThisServer->setChecked(false);
  }
}

void TfmProperty::RemoteRadioOn(QRadioButton* other) {
  other->setChecked(false);
  lblRmtDepth->setEnabled(true);
  EditRmtDepth->setEnabled(true);
}

void TfmProperty::RemoteRadioDoubleClicked(QRadioButton* radio, QRadioButton* other) {
  // No click may follow from the release that ends the double click.
  radio->setDown(false);
  radio->setChecked(false);
  if (!other->isChecked()) {
    lblRmtDepth->setEnabled(false);
    EditRmtDepth->setEnabled(false);
  }
}

bool TfmProperty::eventFilter(QObject* watched, QEvent* event) {
  // A double click switches a remote limit off again, leaving remote links
  // unlimited by path or server.
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == radioRmtThisPath) {
      RemoteRadioDoubleClicked(radioRmtThisPath, radioRmtThisServer);
      return true;
    }
    if (watched == radioRmtThisServer) {
      RemoteRadioDoubleClicked(radioRmtThisServer, radioRmtThisPath);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmProperty::EditPatterns(QLineEdit* box, bool showMask) {
  TfmEditPatterns editor(this);
  editor.PatternText = box->text().toStdString();
  editor.ShowMask = showMask;
  if (editor.exec() == QDialog::Accepted) box->setText(Text(editor.PatternText));
}

void TfmProperty::GetPropertyVar(const TJobRecord& r) {
  record_ = r;
  editUrl->setText(Text(r.editUrl));
  btnOk->setEnabled(!editUrl->text().isEmpty());
  checkLocalize->setChecked(r.checkLocalize);
  checkAddHtmExt->setChecked(r.checkAddHtmExt);
  checkLinkToUrl->setChecked(r.checkLinkToUrl);
  checkReplicate->setChecked(r.checkReplicate);
  checkLoadScript->setChecked(r.checkLoadScript);
  checkRecordWarc->setChecked(r.checkRecordWarc);
  checkLoadEmbed->setChecked(r.checkLoadEmbed);
  checkLoadStyle->setChecked(r.checkLoadStyle);
  radioThisPath->setChecked(r.radioThisPath);
  radioThisServer->setChecked(r.radioThisServer);
  checkOtherServers->setChecked(r.checkOtherServers);
  checkLoadImg->setChecked(r.checkLoadImg);
  editDepth->setText(QString::number(r.editDepth));
  lclcheckKoi8->setChecked(r.lclcheckKoi8);
  lclCheckRetriveFile->setChecked(r.lclCheckRetriveFile);
  lclCheckIgnoreFile->setChecked(r.lclCheckIgnoreFile);
  lclcheckRetrieveLink->setChecked(r.lclcheckRetrieveLink);
  lclcheckIgnoreLink->setChecked(r.lclcheckIgnoreLink);
  lcleditRetriveFile->setText(Text(r.lcleditRetriveFile));
  lcleditRetrieveLink->setText(Text(r.lcleditRetrieveLink));
  lcleditIgnoreFile->setText(Text(r.lcleditIgnoreFile));
  lcleditIgnoreLink->setText(Text(r.lcleditIgnoreLink));
  radioRmtThisPath->setChecked(r.radioRmtThisPath);
  radioRmtThisServer->setChecked(r.radioRmtThisServer);
  checkRmtLoadImg->setChecked(r.checkRmtLoadImg);
  EditRmtDepth->setText(QString::number(r.EditRmtDepth));
  rmtcheckKoi8->setChecked(r.rmtcheckKoi8);
  rmtCheckRetriveFile->setChecked(r.rmtCheckRetriveFile);
  rmtCheckIgnoreFile->setChecked(r.rmtCheckIgnoreFile);
  rmtcheckRetrieveLink->setChecked(r.rmtcheckRetrieveLink);
  rmtcheckIgnoreLink->setChecked(r.rmtcheckIgnoreLink);
  rmteditRetrieveFile->setText(Text(r.rmteditRetrieveFile));
  rmteditRetrieveLink->setText(Text(r.rmteditRetrieveLink));
  rmteditIgnoreFile->setText(Text(r.rmteditIgnoreFile));
  rmteditIgnoreLink->setText(Text(r.rmteditIgnoreLink));
}

void TfmProperty::FocusFirstField() {
  QWidget* page = pageControl->currentWidget();
  QWidget* first = page == tablclExploration   ? static_cast<QWidget*>(lclcheckKoi8)
                   : page == tabrmtExploration ? static_cast<QWidget*>(rmtcheckKoi8)
                                               : static_cast<QWidget*>(editUrl);
  first->setFocus();
}

bool TfmProperty::Refuse(QWidget* control, const QString& text) {
  for (QWidget* page : {tabGeneral, tablclExploration, tabrmtExploration}) {
    if (page->isAncestorOf(control)) pageControl->setCurrentWidget(page);
  }
  control->setFocus();
  if (showMessage_) showMessage_(this, TMessageKind::Error, text);
  return false;
}

void TfmProperty::TryAccept() {
  // Checked before anything is taken, so that a refused value leaves the
  // record, and the store after it, as they were and the dialog open with
  // every edit still in it.
  const TUrlParts url = SplitUrl(editUrl->text().trimmed().toStdString());
  if (url.Host.empty()) {
    Refuse(editUrl, QStringLiteral("The URL names no server: ") + editUrl->text());
    return;
  }
  for (QLineEdit* depth : {editDepth, EditRmtDepth}) {
    const std::optional<int> value = ParseDecimalInt(depth->text().toStdString());
    if (!value) {
      Refuse(depth, QStringLiteral("'%1' is not a valid integer value").arg(depth->text()));
      return;
    }
    if (*value < kMinJobDepth || *value > kMaxJobDepth) {
      Refuse(depth, QStringLiteral("%1 is not within the valid range of %2..%3")
                        .arg(*value)
                        .arg(kMinJobDepth)
                        .arg(kMaxJobDepth));
      return;
    }
  }
  for (QLineEdit* box :
       {editUrl, lcleditRetriveFile, lcleditRetrieveLink, lcleditIgnoreFile, lcleditIgnoreLink,
        rmteditRetrieveFile, rmteditRetrieveLink, rmteditIgnoreFile, rmteditIgnoreLink}) {
    if (box->text().contains(u'`')) {
      Refuse(box, QStringLiteral("'%1' cannot be stored: a job cannot hold the grave accent (`).")
                      .arg(box->text()));
      return;
    }
  }
  SetPropertyVar();
  accept();
}

void TfmProperty::SetPropertyVar() {
  TJobRecord& r = record_;
  // Stored without user name and password, and always with a path.
  r.editUrl = NormaliseJobUrl(editUrl->text().trimmed().toStdString());
  r.checkLocalize = checkLocalize->isChecked();
  r.checkAddHtmExt = checkAddHtmExt->isChecked();
  r.checkLinkToUrl = checkLinkToUrl->isChecked();
  r.checkReplicate = checkReplicate->isChecked();
  r.checkLoadScript = checkLoadScript->isChecked();
  r.checkRecordWarc = checkRecordWarc->isChecked();
  r.checkLoadEmbed = checkLoadEmbed->isChecked();
  r.checkLoadStyle = checkLoadStyle->isChecked();
  r.radioThisPath = radioThisPath->isChecked();
  r.radioThisServer = radioThisServer->isChecked();
  r.checkOtherServers = checkOtherServers->isChecked();
  r.checkLoadImg = checkLoadImg->isChecked();
  r.editDepth = *ParseDecimalInt(editDepth->text().toStdString());
  r.lclcheckKoi8 = lclcheckKoi8->isChecked();
  r.lclCheckRetriveFile = lclCheckRetriveFile->isChecked();
  r.lclCheckIgnoreFile = lclCheckIgnoreFile->isChecked();
  r.lclcheckRetrieveLink = lclcheckRetrieveLink->isChecked();
  r.lclcheckIgnoreLink = lclcheckIgnoreLink->isChecked();
  r.lcleditRetriveFile = lcleditRetriveFile->text().toStdString();
  r.lcleditRetrieveLink = lcleditRetrieveLink->text().toStdString();
  r.lcleditIgnoreFile = lcleditIgnoreFile->text().toStdString();
  r.lcleditIgnoreLink = lcleditIgnoreLink->text().toStdString();
  r.radioRmtThisPath = radioRmtThisPath->isChecked();
  r.radioRmtThisServer = radioRmtThisServer->isChecked();
  r.checkRmtLoadImg = checkRmtLoadImg->isChecked();
  r.EditRmtDepth = *ParseDecimalInt(EditRmtDepth->text().toStdString());
  r.rmtcheckKoi8 = rmtcheckKoi8->isChecked();
  r.rmtCheckRetriveFile = rmtCheckRetriveFile->isChecked();
  r.rmtCheckIgnoreFile = rmtCheckIgnoreFile->isChecked();
  r.rmtcheckRetrieveLink = rmtcheckRetrieveLink->isChecked();
  r.rmtcheckIgnoreLink = rmtcheckIgnoreLink->isChecked();
  r.rmteditRetrieveFile = rmteditRetrieveFile->text().toStdString();
  r.rmteditRetrieveLink = rmteditRetrieveLink->text().toStdString();
  r.rmteditIgnoreFile = rmteditIgnoreFile->text().toStdString();
  r.rmteditIgnoreLink = rmteditIgnoreLink->text().toStdString();
}

}  // namespace kestrix
