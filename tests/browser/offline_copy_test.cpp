// The offline copy of the documentation-shaped fixture site, opened from disk
// in the web engine as a user would open it, with the network blocked: every
// style sheet applies, every image loads with a size, every local script
// runs, and nothing under the copy is asked for that was not saved.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "tests/cli/cli_runner.h"
#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"

namespace kestrix {
namespace {

// Lets file: and data: through and blocks everything else; remembers every
// file asked for.
class OfflineInterceptor final : public QWebEngineUrlRequestInterceptor {
 public:
  std::set<std::string> Files;

  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QUrl url = info.requestUrl();
    if (url.scheme() == QStringLiteral("data")) return;
    if (url.isLocalFile()) {
      Files.insert(url.toLocalFile().toStdString());
      return;
    }
    info.block(true);
  }
};

// What the opened page says of its parts, as JSON.
constexpr char kProbe[] = R"js(JSON.stringify((function () {
  var sheets = document.querySelectorAll('link[rel~="stylesheet"]');
  var loaded = 0;
  sheets.forEach(function (l) { if (l.sheet) loaded++; });
  var images = [];
  Array.prototype.forEach.call(document.images, function (i) {
    if (!i.currentSrc.startsWith('data:') && !(i.complete && i.naturalWidth > 0))
      images.push(i.currentSrc || i.getAttribute('src'));
  });
  var scripts = 0;
  document.querySelectorAll('script[src]').forEach(function (s) {
    if (s.src.startsWith('file:')) scripts++;
  });
  return { sheets: sheets.length, sheetsLoaded: loaded,
           bodyTop: getComputedStyle(document.body).borderTopWidth,
           htmlLeft: getComputedStyle(document.documentElement).borderLeftWidth,
           brokenImages: images, imageCount: document.images.length,
           localScripts: scripts, scriptsRan: window.kestrixLoaded || 0 };
})()))js";

struct TPageCounts {
  int Pages = 0;
  int Images = 0;
  int Scripts = 0;
};

// Opens every saved page under `root` and checks what it says of its parts.
TPageCounts OpenEveryPage(QWebEngineProfile& profile, const std::string& root) {
  TPageCounts counts;
  for (const std::string& file : test::SavedFiles(root)) {
    if (!file.ends_with(".html") && !file.ends_with(".htm")) continue;
    // Offscreen, the web engine never ends loading a page with an OBJECT
    // (whatever it holds); the command-line test checks that page's links.
    if (test::ReadWholeFile(root + file).find("<object") != std::string::npos) continue;
    SCOPED_TRACE(file);
    QWebEnginePage page(&profile);
    bool finished = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&finished](bool) { finished = true; });
    page.load(QUrl::fromLocalFile(QString::fromStdString(root + file)));
    EXPECT_TRUE(test::RunUntil([&finished] { return finished; }, 20000));
    QString json;
    bool probed = false;
    page.runJavaScript(QString::fromLatin1(kProbe), [&](const QVariant& v) {
      json = v.toString();
      probed = true;
    });
    EXPECT_TRUE(test::RunUntil([&probed] { return probed; }, 10000));
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    EXPECT_GT(o[QStringLiteral("sheets")].toInt(), 0);
    EXPECT_EQ(o[QStringLiteral("sheetsLoaded")].toInt(), o[QStringLiteral("sheets")].toInt());
    // Set by the main sheet and by the one it imports.
    EXPECT_EQ(o[QStringLiteral("bodyTop")].toString(), QStringLiteral("7px"));
    EXPECT_EQ(o[QStringLiteral("htmlLeft")].toString(), QStringLiteral("3px"));
    EXPECT_TRUE(o[QStringLiteral("brokenImages")].toArray().isEmpty())
        << QJsonDocument(o[QStringLiteral("brokenImages")].toArray()).toJson().toStdString();
    EXPECT_EQ(o[QStringLiteral("scriptsRan")].toInt(), o[QStringLiteral("localScripts")].toInt());
    counts.Images += o[QStringLiteral("imageCount")].toInt();
    counts.Scripts += o[QStringLiteral("localScripts")].toInt();
    ++counts.Pages;
  }
  return counts;
}

// The copy works where it was saved, and just as well once its host folder
// has been moved somewhere else: its links never climb above that folder.
TEST(OfflineCopy, SavedPagesWorkFromDiskWithTheNetworkBlocked) {
  test::TNginxServer nginx(std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/docsite/",
                           test::kDocSiteNginx);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  test::TCliRunner cli;
  const char* asan = std::getenv("ASAN_OPTIONS");
  cli.SetEnv("ASAN_OPTIONS",
             std::string(asan != nullptr ? asan : "") + ":new_delete_type_mismatch=0");
  const test::TCliResult r =
      cli.Run({"mirror", nginx.BaseUrl() + "/index.html", "--project", "doc", "--scripts"}, 120000);
  // Status 5: the site links to a page and a script-named file it lacks.
  ASSERT_EQ(r.ExitCode, 5) << r.Out << r.Err;
  nginx.Stop();

  const std::string saved = cli.DownloadFolder() + "doc/127.0.0.1/";
  const std::string moved = cli.Folder() + "elsewhere/copy/";
  std::filesystem::create_directories(cli.Folder() + "elsewhere");
  for (const std::string& root : {saved, moved}) {
    SCOPED_TRACE(root);
    if (root == moved) std::filesystem::rename(saved, moved);
    OfflineInterceptor interceptor;
    QWebEngineProfile profile;  // off the record: nothing of the run is kept
    profile.setUrlRequestInterceptor(&interceptor);
    const TPageCounts counts = OpenEveryPage(profile, root);
    EXPECT_GT(counts.Pages, 55);
    EXPECT_GT(counts.Images, 5);
    EXPECT_GT(counts.Scripts, 10);
    for (const std::string& path : interceptor.Files) {
      if (path.rfind(cli.Folder(), 0) != 0) continue;
      EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).isFile())
          << "asked for, not saved: " << path;
    }
    // The files' own requests pass through the interceptor too, so nothing
    // reached for the network could have slipped by it.
    EXPECT_GT(interceptor.Files.size(), 20u);
  }
}

}  // namespace
}  // namespace kestrix
