// What a previewed saved page may reach, which files the preview shows or
// hands to the desktop, stepping through the queue, and the page switches.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWebEngineScript>
#include <filesystem>

#include <dlfcn.h>

#include "browser/preview_page.h"
#include "tests/support/event_wait.h"
#include "tests/ui/preview_fixture.h"
#include "ui/web_parts.h"

namespace kestrix {
namespace {

namespace fs = std::filesystem;

// The page's switches reload it: images off and on again, scripts off
// with its form still captured.
TEST(PreviewSafety, SavedPageReadsNothingOutsideTheProjectFollowsTheSwitchesAndSteps) {
  test::TPreviewFixture f;
  f.Dir.WriteFile(
      "downloads/site/page.htm",
      test::ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/ui/greedy_saved_page.html"));
  QImage pixel(1, 1, QImage::Format_RGB32);
  pixel.fill(Qt::red);
  ASSERT_TRUE(pixel.save(QString::fromStdString(f.ProjectFolder() + "pic.png"), "PNG"));
  f.Host.row = f.AddSavedEntry("http://h/page.htm", f.ProjectFolder(), "page.htm");
  f.Pane->ViewQueueRow(f.Host.row);
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  EXPECT_EQ(f.Host.pages, std::vector<std::string>{"View"});
  EXPECT_EQ(f.Pane->edNavigate->text(), QStringLiteral("http://h/page.htm"));
  EXPECT_EQ(f.Pane->edFileName->text().toStdString(), f.ProjectFolder() + "page.htm");
  ASSERT_TRUE(test::RunUntil(
      [&] { return f.RunInPage(QStringLiteral("window.fetched")) != QLatin1String("pending"); },
      3000));
  EXPECT_EQ(f.RunInPage(QStringLiteral("window.xhr")), QStringLiteral("blocked"));
  EXPECT_EQ(f.RunInPage(QStringLiteral("window.fetched")), QStringLiteral("blocked"));
  // The frame was never let go to the file: it still holds its empty
  // document, which the page may read.
  EXPECT_EQ(f.RunInPage(QStringLiteral("document.getElementById('outside').contentDocument."
                                       "documentElement.innerText")),
            QString());
  // The page's own files still show, as long as images are on.
  const QString width = QStringLiteral("String(document.getElementById('pic').naturalWidth)");
  EXPECT_EQ(f.RunInPage(width), QStringLiteral("1"));
  f.Pane->chkImages->setChecked(false);
  EXPECT_FALSE(f.Pane->Site().Has(TDownloadOption::Images));
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  EXPECT_EQ(f.RunInPage(width), QStringLiteral("0"));
  f.Pane->chkImages->setChecked(true);
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  EXPECT_EQ(f.RunInPage(width), QStringLiteral("1"));
  // A saved copy is shown strictly offline, a live page only when the
  // program is.
  EXPECT_TRUE(f.Pane->Site().Has(TDownloadOption::ForceOffline));
  EXPECT_FALSE(f.Pane->Site().Has(TDownloadOption::OfflineIfNotConnected));
  // Page scripts off, so the click comes from the program's own world, as
  // a user's click would.
  f.Pane->chkScripts->setChecked(false);
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  f.Answer = [](TfmPostData& e) { return e.btnCancel; };
  f.Pane->Page().runJavaScript(QStringLiteral("document.getElementById('send').click()"),
                               QWebEngineScript::ApplicationWorld);
  ASSERT_TRUE(test::RunUntil([&] { return !f.Editors.empty(); }, 5000));
  EXPECT_EQ(f.Editors[0].Url, "http://127.0.0.1:9/x");
  EXPECT_EQ(f.Editors[0].Params, "q=1");
  EXPECT_FALSE(f.Editors[0].Get);
  f.Pane->chkScripts->setChecked(true);
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  // Links to files elsewhere are not followed either.
  f.RunInPage(QStringLiteral("location.href = 'file:///etc/hostname'; 1"));
  test::RunFor(300);
  EXPECT_EQ(f.Pane->Page().url(),
            QUrl::fromLocalFile(QString::fromStdString(f.ProjectFolder() + "page.htm")));

  // Up and Down step through the queue and stop at its ends.
  f.Dir.WriteFile("downloads/site/a.htm", "<title>a</title>");
  f.AddSavedEntry("http://h/a.htm", f.ProjectFolder(), "a.htm");
  f.Pane->btnUp->click();
  EXPECT_EQ(f.Host.row, 1);
  f.Pane->btnDown->click();
  EXPECT_EQ(f.Host.row, 2);
  ASSERT_TRUE(f.WaitForLoad("a.htm"));
  EXPECT_EQ(f.RunInPage(QStringLiteral("document.title")), QStringLiteral("a"));
  f.Pane->btnDown->click();
  EXPECT_EQ(f.Host.row, 2);
  f.Pane->btnUp->click();
  ASSERT_TRUE(f.WaitForLoad("page.htm"));
  EXPECT_EQ(f.Pane->edNavigate->text(), QStringLiteral("http://h/page.htm"));
}

TEST(PreviewSafety, HistoryPathsOutsideTheProjectAreNeverShown) {
  test::TPreviewFixture f;
  const std::string secret = f.Dir.WriteFile("secret.htm", "<title>secret</title>");
  f.Dir.WriteFile("downloads/site/ok.htm", "<title>ok</title>");
  fs::create_directories(f.ProjectFolder() + "sub");
  fs::create_symlink(secret, f.ProjectFolder() + "sub/link.htm");
  // Which paths are inside is IsInsideFolder's table; here that the pane asks.
  f.Host.row = f.AddSavedEntry("http://h/link.htm", f.ProjectFolder() + "sub/", "link.htm");
  f.Pane->ViewQueueRow(f.Host.row);
  test::RunFor(200);
  EXPECT_TRUE(f.Pane->edFileName->text().isEmpty());
  EXPECT_TRUE(f.Pane->edNavigate->text().isEmpty());
  EXPECT_NE(f.Pane->Page().url().scheme(), QStringLiteral("file"));
  f.Pane->OpenInExternalBrowser();
  EXPECT_TRUE(f.Opened.empty());
  EXPECT_EQ(f.Messages.size(), 1u);

  // A saved page of the project goes to the desktop's browser; another
  // saved file of the project does not.
  f.Dir.WriteFile("downloads/site/tool.sh", "#!/bin/sh\n");
  f.Host.row = f.AddSavedEntry("http://h/tool.sh", f.ProjectFolder(), "tool.sh");
  f.Pane->OpenInExternalBrowser();
  EXPECT_TRUE(f.Opened.empty());
  f.Host.row = f.AddSavedEntry("http://h/ok.htm", f.ProjectFolder(), "ok.htm");
  f.Pane->OpenInExternalBrowser();
  ASSERT_EQ(f.Opened.size(), 1u);
  EXPECT_EQ(f.Opened[0], QUrl::fromLocalFile(QString::fromStdString(f.ProjectFolder() + "ok.htm")));
  // A desktop without a browser for it is said, not ignored.
  f.OpenAnswer = false;
  f.Pane->OpenInExternalBrowser();
  EXPECT_TRUE(f.Messages.back().startsWith(QStringLiteral("No program on this desktop opens")));
}

// The desktop program makes its preview in the module it loads, whose own
// copy of the engine's code works on the program's queue: a saved page shows
// from there as here, and the pane goes with its window.
TEST(PreviewModule, TheLoadedModuleShowsASavedPage) {
  void* module = dlopen(KESTRIX_WEB_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  using Entry = const WebParts* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, "kestrix_web_parts"));
  ASSERT_NE(entry, nullptr);
  const WebParts* web = entry();
  ASSERT_NE(web, nullptr);
  ASSERT_NE(web, &LinkedWebParts());
  test::TPreviewFixture f;
  f.Dir.WriteFile("downloads/site/page.htm", "<html><body>saved</body></html>");
  f.Host.row = f.AddSavedEntry("http://h/page.htm", f.ProjectFolder(), "page.htm");
  auto window = std::make_unique<QWidget>();
  TPreviewPane* pane = web->MakePreview(
      TPreviewContext{*f.Control, f.Options, f.Offline, {}, {}, {}}, f.Host, window.get());
  bool loaded = false;
  QObject::connect(&pane->Page(), &QWebEnginePage::loadFinished,
                   [&loaded](bool ok) { loaded = ok; });
  web->ViewQueueRow(*pane, f.Host.row);
  ASSERT_TRUE(test::RunUntil([&loaded] { return loaded; }, 8000));
  EXPECT_EQ(pane->edFileName->text().toStdString(), f.ProjectFolder() + "page.htm");
  EXPECT_EQ(pane->Page().url(),
            QUrl::fromLocalFile(QString::fromStdString(f.ProjectFolder() + "page.htm")));
  window.reset();
}

}  // namespace
}  // namespace kestrix
