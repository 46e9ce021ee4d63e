// The job property dialog: edits one job record, its starting URL, how far
// local and remote links are followed, what is loaded, how saved pages are
// linked, and the include and ignore patterns. The program keeps one and
// reuses it; the page last shown stays active.
#pragma once

#include <QDialog>
#include <string>

#include "core/job_record.h"
#include "ui/dialog_message.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace kestrix {

class TfmProperty : public QDialog {
 public:
  explicit TfmProperty(TShowMessage showMessage, QWidget* parent = nullptr);

  // Record into the controls; the enabling follows the loaded record.
  void GetPropertyVar(const TJobRecord& record);
  // Gives the focus to the first field of the page shown, not to the tabs.
  void FocusFirstField();
  // The controls as a record: what Ok took, with the loaded ProjectName.
  const TJobRecord& Record() const { return record_; }

  QTabWidget* pageControl;
  QWidget* tabGeneral;
  QWidget* tablclExploration;
  QWidget* tabrmtExploration;
  QPushButton* btnOk;
  QPushButton* btnCancel;

  QLineEdit* editUrl;
  QLineEdit* editDepth;
  QRadioButton* radioThisPath;
  QRadioButton* radioThisServer;
  QCheckBox* checkOtherServers;
  QCheckBox* checkLoadImg;
  QCheckBox* checkLocalize;
  QCheckBox* checkReplicate;
  QCheckBox* checkAddHtmExt;
  QCheckBox* checkLinkToUrl;
  QLabel* lblRmtExploration;
  QGroupBox* groupRemote;
  QLabel* lblRmtDepth;
  QLineEdit* EditRmtDepth;
  QRadioButton* radioRmtThisPath;
  QRadioButton* radioRmtThisServer;
  QCheckBox* checkRmtLoadImg;
  QCheckBox* checkLoadEmbed;
  QCheckBox* checkLoadStyle;
  QCheckBox* checkRecordWarc;
  QCheckBox* checkLoadScript;

  QCheckBox* lclcheckKoi8;
  QCheckBox* lclCheckRetriveFile;
  QLineEdit* lcleditRetriveFile;
  QToolButton* lclbtnEditRetrieveFile;
  QCheckBox* lclCheckIgnoreFile;
  QLineEdit* lcleditIgnoreFile;
  QToolButton* lclbtnEditIgnoreFile;
  QCheckBox* lclcheckRetrieveLink;
  QLineEdit* lcleditRetrieveLink;
  QToolButton* lclbtnEditRetrieveLink;
  QCheckBox* lclcheckIgnoreLink;
  QLineEdit* lcleditIgnoreLink;
  QToolButton* lclbtnEditIgnoreLink;

  QCheckBox* rmtcheckKoi8;
  QCheckBox* rmtCheckRetriveFile;
  QLineEdit* rmteditRetrieveFile;
  QToolButton* rmtbtnEditRetrieveFile;
  QCheckBox* rmtCheckIgnoreFile;
  QLineEdit* rmteditIgnoreFile;
  QToolButton* rmtbtnEditIgnoreFile;
  QCheckBox* rmtcheckRetrieveLink;
  QLineEdit* rmteditRetrieveLink;
  QToolButton* rmtbtnEditRetrieveLink;
  QCheckBox* rmtcheckIgnoreLink;
  QLineEdit* rmteditIgnoreLink;
  QToolButton* rmtbtnEditIgnoreLink;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TFilterControls;
  QWidget* BuildGeneralPage();
  QWidget* BuildFilterPage(const TFilterControls& controls, const QString& prefix);
  void ConnectRules();
  void UpdateRemoteGroup();
  void RemoteRadioOn(QRadioButton* other);
  void RemoteRadioDoubleClicked(QRadioButton* radio, QRadioButton* other);
  void EditPatterns(QLineEdit* box, bool showMask);
  // Ok: refuses what cannot be stored, otherwise takes the controls.
  void TryAccept();
  bool Refuse(QWidget* control, const QString& text);
  void SetPropertyVar();

  TShowMessage showMessage_;
  TJobRecord record_;
};

}  // namespace kestrix
