#include "ui/options_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/offline_state.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/dialog_test_env.h"
#include "ui/dialogs.h"
#include "ui/options_limits.h"

namespace kestrix {
namespace {

using test::TMessageLog;

constexpr char kDefaultFolder[] = "/default/downloads/";

class OptionsDialogTest : public ::testing::Test {
 protected:
  std::string ReadBack() const { return test::ReadWholeFile(ini_.Path()); }
  TGlobalOptions FreshRead() const { return ReadOptions(IniFile(ini_.Path()), kDefaultFolder); }

  test::TScratchDir dir_;
  IniFile ini_{dir_.Path() + "cfg/kestrix.ini"};
  OfflineState offline_;
  TMessageLog log_;
  TDialogs dialogs_{ini_, offline_, log_.Shower()};
};

void LeaveBox(QLineEdit* box) {
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(box, &out);
}

TEST_F(OptionsDialogTest, OkWritesEveryOptionAtOnceForOnlyTheOwnerToRead) {
  // An existing, readable file holds the password once Ok has run.
  dir_.WriteFile("cfg/kestrix.ini", "[Projects]\nSite=Project\n");
  ASSERT_EQ(chmod(ini_.Path().c_str(), 0644), 0);
  TGlobalOptions options = FreshRead();
  test::WhenModalOf<TfmOptions>([](TfmOptions& d) {
    d.editDownloadFolder->setText(QStringLiteral("/data/sites"));
    d.editDefaultDoc->setText(QStringLiteral("default.htm"));
    d.agentButtons->button(3)->click();
    d.editOpera->setText(QStringLiteral("9.0"));
    d.checkToTray->click();
    d.UpDown->setValue(4);
    d.CheckRetry->click();
    d.CheckOffline->click();
    d.checkKeepAlive->click();
    // Compression is HTTP/1.1's; the old requests ask for none.
    d.checkHttp10->click();
    EXPECT_FALSE(d.checkCompression->isEnabled());
    d.checkFollowRobots->click();
    d.spinHostConnections->setValue(2);
    d.spinWait->setValue(1.5);
    d.checkTlsAcceptUnverified->click();
    d.editTlsCaFile->setText(QStringLiteral(" /etc/our-ca.pem "));
    d.radioProxy->click();
    d.editProxyHost->setText(QStringLiteral("proxy.lan"));
    d.editProxyPort->setText(QStringLiteral("3128"));
    d.editProxyUser->setText(QStringLiteral("me"));
    d.editProxyPswd->setText(QStringLiteral("s3cret"));
    d.checkNoCach->click();
    d.btnOk->click();
  });
  ASSERT_TRUE(dialogs_.EditOptions(nullptr, options, false));
  EXPECT_TRUE(log_.texts.empty());
  TGlobalOptions expected;
  expected.DownLoadFolder = "/data/sites/";
  expected.DefaultDoc = "default.htm";
  expected.Agent = 3;
  expected.OperaVer = "9.0";
  expected.ToTray = true;
  expected.ThreadCount = 4;
  expected.RetryFlag = true;
  expected.GlobalOfflineFlag = true;  // the switch was off and got clicked
  expected.TlsAcceptUnverified = true;
  expected.TlsCaFile = "/etc/our-ca.pem";
  expected.KeepAlive = false;
  expected.UseHttp10 = true;
  expected.FollowRobots = false;
  expected.PerHostConnections = 2;
  expected.WaitMs = 1500;
  expected.DirectFlag = false;
  expected.ProxyFlag = true;
  expected.ProxyHost = "proxy.lan";
  expected.ProxyPort = "3128";
  expected.ProxyUser = "me";
  expected.ProxyPswd = "s3cret";
  expected.ProxyCach = true;
  EXPECT_EQ(options, expected);
  EXPECT_EQ(FreshRead(), expected);
  EXPECT_EQ(offline_.IsGlobalOffline(), expected.GlobalOfflineFlag);
  EXPECT_NE(ReadBack().find("[Projects]\nSite=Project\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(ini_.Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A running download keeps its folder (the queue's paths and its history
// would part ways); a cancelled edit is gone when the dialog opens again.
TEST_F(OptionsDialogTest, RefusalsKeepTheDialogOpenAndChangeNothing) {
  TGlobalOptions options = FreshRead();
  options.TlsCaFile = "/ca/extra.pem";
  const TGlobalOptions before = options;
  const struct {
    const char* folder;
    bool locked;
    const char* message;
  } cases[] = {
      {"downloads/", false, "The download folder must be a full path"},
      {"~/sites", false, "The download folder must be a full path"},
      {"", false, "The download folder must be a full path"},
      {"/elsewhere/", true, "The download folder cannot change while a download runs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    log_.texts.clear();
    test::WhenModalOf<TfmOptions>([&c](TfmOptions& d) {
      d.editDownloadFolder->setText(QString::fromLatin1(c.folder));
      d.editTlsCaFile->clear();
      d.btnOk->click();
      EXPECT_TRUE(d.isVisible());
      d.btnCancel->click();
    });
    EXPECT_FALSE(dialogs_.EditOptions(nullptr, options, c.locked));
    ASSERT_EQ(log_.texts.size(), 1u);
    EXPECT_TRUE(log_.texts[0].startsWith(QString::fromLatin1(c.message)));
    EXPECT_EQ(options, before);
    EXPECT_FALSE(std::filesystem::exists(ini_.Path()));
  }
  // The rest of the options may change during a download.
  test::WhenModalOf<TfmOptions>([](TfmOptions& d) {
    EXPECT_EQ(d.editDownloadFolder->text(), QString::fromLatin1(kDefaultFolder));
    EXPECT_EQ(d.editTlsCaFile->text(), QStringLiteral("/ca/extra.pem"));
    d.UpDown->setValue(5);
    d.btnOk->click();
  });
  EXPECT_TRUE(dialogs_.EditOptions(nullptr, options, true));
  EXPECT_EQ(options.ThreadCount, 5);

  // A settings file that cannot be written keeps the dialog open.
  std::filesystem::remove_all(dir_.Path() + "cfg");
  dir_.WriteFile("cfg", "x");
  log_.texts.clear();
  test::WhenModalOf<TfmOptions>([](TfmOptions& d) {
    d.btnOk->click();
    EXPECT_TRUE(d.isVisible());
    d.btnCancel->click();
  });
  EXPECT_FALSE(dialogs_.EditOptions(nullptr, options, false));
  EXPECT_EQ(log_.texts, std::vector<QString>{QString::fromStdString(
                            "Cannot write the settings file: " + ini_.Path())});
}

// Limits are typed as sizes and counts; one that is neither keeps the dialog
// open. A download folder that cannot be made is warned of, and taken.
TEST_F(OptionsDialogTest, LimitsAndAFolderThatCannotBeMade) {
  TGlobalOptions options = FreshRead();
  const std::string blocked = dir_.WriteFile("file", "x") + "/dl/";
  test::WhenModalOf<TfmOptions>([&](TfmOptions& d) {
    EXPECT_EQ(d.tabLimits->editMaxParsedPage->text(), QStringLiteral("32 MB"));
    d.tabLimits->editMaxFiles->setText(QStringLiteral("lots"));
    d.btnOk->click();
    EXPECT_TRUE(d.isVisible());
    d.tabLimits->editMaxFiles->setText(QStringLiteral("500"));
    d.tabLimits->editMaxFileSize->setText(QStringLiteral("20M"));
    d.tabLimits->editMaxUrlLength->clear();
    d.editDownloadFolder->setText(QString::fromStdString(blocked));
    d.btnOk->click();
  });
  EXPECT_TRUE(dialogs_.EditOptions(nullptr, options, false));
  ASSERT_EQ(log_.texts.size(), 2u);
  EXPECT_EQ(log_.texts[0], QStringLiteral("Most files in a run : 'lots' is not a whole number"));
  EXPECT_EQ(log_.texts[1],
            QString::fromStdString("The download folder cannot be created or written: " + blocked +
                                   ": Not a directory"));
  EXPECT_EQ(FreshRead().MaxFiles, 500);
  EXPECT_EQ(FreshRead().MaxFileSize, 20 << 20);
  EXPECT_EQ(FreshRead().MaxUrlLength, 0) << "an empty box is no limit";
  EXPECT_EQ(FreshRead().DownLoadFolder, blocked);
}

TEST_F(OptionsDialogTest, FieldChecksOnLeavingABox) {
  const struct {
    QString typed;
    QString message;
  } threads[] = {
      {QStringLiteral("11"), QStringLiteral("Treads: 11 is not within the valid range of 1..10")},
      {QStringLiteral("0"), QStringLiteral("Treads: 0 is not within the valid range of 1..10")},
      {QStringLiteral("x"), QStringLiteral("Treads: 'x' is not a valid integer value")},
  };
  TfmOptions dialog(log_.Shower(), nullptr);
  dialog.GetOptionsVar(TGlobalOptions(), false);
  for (const auto& t : threads) {
    log_.texts.clear();
    dialog.editThreadCount->setText(t.typed);
    LeaveBox(dialog.editThreadCount);
    EXPECT_EQ(log_.texts, std::vector<QString>{t.message});
    EXPECT_EQ(dialog.editThreadCount->text(), QStringLiteral("1"));
  }
  log_.texts.clear();
  dialog.editThreadCount->setText(QStringLiteral("10"));  // the largest count
  LeaveBox(dialog.editThreadCount);
  EXPECT_EQ(dialog.UpDown->value(), 10);
  dialog.editDefaultDoc->clear();
  LeaveBox(dialog.editDefaultDoc);
  EXPECT_EQ(log_.texts, std::vector<QString>{QStringLiteral("Default document name is empty!")});
  EXPECT_EQ(dialog.editDefaultDoc->text(), QStringLiteral("index.html"));
}

// The options get the folder's slash on Ok (above), the box from the browser.
TEST_F(OptionsDialogTest, BrowseButtonsFillTheirBoxesAndTheFolderGetsItsSlash) {
  TfmOptions dialog(nullptr, nullptr);
  dialog.GetOptionsVar(TGlobalOptions(), true);
  EXPECT_TRUE(dialog.CheckOffline->isChecked());
  dialog.editDownloadFolder->setText(QStringLiteral("/data/sites"));
  QString asked;
  dialog.ChooseFolder = [&asked](QWidget*, const QString& start) {
    asked = start;
    return QStringLiteral("/mnt/web");
  };
  dialog.btnBrowse->click();
  EXPECT_EQ(asked, QStringLiteral("/data/sites"));
  EXPECT_EQ(dialog.editDownloadFolder->text(), QStringLiteral("/mnt/web/"));
  dialog.ChooseCaFile = [](QWidget*, const QString&) { return QStringLiteral("/etc/ours.pem"); };
  dialog.btnBrowseCaFile->click();
  dialog.btnOk->click();
  EXPECT_EQ(dialog.Options().TlsCaFile, "/etc/ours.pem");
}

}  // namespace
}  // namespace kestrix
