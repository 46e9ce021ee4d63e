// The options dialog: the download folder, default document, user agent,
// tray behaviour, download workers, retry, offline working, the trust of
// https certificates, the proxy, and the limits that keep a run bounded.
// It is filled from the options it is given each time it opens, so an edit
// that was cancelled is never applied by a later Ok, and Ok writes the
// settings file before the dialog closes.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/global_options.h"
#include "ui/dialog_message.h"

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QToolButton;

namespace kestrix {

class TLimitsPage;

class TfmOptions : public QDialog {
 public:
  // Stores the options Ok took; empty on success, otherwise the text to show.
  using TSaveOptions = std::function<std::string(const TGlobalOptions&)>;
  // The folder chooser behind the browse button: the folder picked, or an
  // empty text when the user gave up.
  using TChooseFolder = std::function<QString(QWidget* parent, const QString& start)>;

  TfmOptions(TShowMessage showMessage, TSaveOptions save, QWidget* parent = nullptr);

  // Options into the controls; "Work Offline" shows `offline`, the state the
  // program works in now.
  void GetOptionsVar(const TGlobalOptions& options, bool offline);
  // While set, Ok refuses a download folder other than the one the dialog
  // was filled with.
  void SetFolderLocked(bool locked) { folderLocked_ = locked; }
  // The options as Ok took and stored them.
  const TGlobalOptions& Options() const { return options_; }

  TChooseFolder ChooseFolder;
  // The file chooser behind the CA file's browse button, likewise.
  TChooseFolder ChooseCaFile;

  QTabWidget* pageControl;
  QWidget* tabGeneral;
  QWidget* tabNetwork;
  QWidget* tabProxy;
  TLimitsPage* tabLimits;
  QLineEdit* editDownloadFolder;
  QToolButton* btnBrowse;
  QLineEdit* editDefaultDoc;
  QGroupBox* radioAgent;
  QButtonGroup* agentButtons;
  QLineEdit* editMSIE;
  QLineEdit* editNNAV;
  QLineEdit* editOpera;
  QLineEdit* editAnyBrowser;
  QCheckBox* checkToTray;
  QLineEdit* editThreadCount;
  QScrollBar* UpDown;
  QCheckBox* CheckRetry;
  QCheckBox* CheckOffline;
  QCheckBox* checkTlsAcceptUnverified;
  QCheckBox* checkKeepAlive;
  // How the sites are treated: request version, compression, robots.txt
  // and pacing.
  QCheckBox* checkHttp10;
  QCheckBox* checkCompression;
  QCheckBox* checkFollowRobots;
  QSpinBox* spinHostConnections;
  QDoubleSpinBox* spinWait;
  QLineEdit* editTlsCaFile;
  QToolButton* btnBrowseCaFile;
  QRadioButton* radioDirect;
  QRadioButton* radioProxy;
  QLineEdit* editProxyHost;
  QLineEdit* editProxyPort;
  QLineEdit* editProxyUser;
  QLineEdit* editProxyPswd;
  QCheckBox* checkNoCach;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildGeneralPage();
  QWidget* BuildNetworkPage();
  QWidget* BuildProxyPage();
  void Browse();
  void CheckDefaultDoc();
  void CheckThreadCount();
  void TryAccept();
  TGlobalOptions SetOptionsVar() const;
  void Tell(const QString& text);

  TShowMessage showMessage_;
  TSaveOptions save_;
  TGlobalOptions options_;
  bool folderLocked_ = false;
};

}  // namespace kestrix
