// The hidden page reaches neither the network nor the file system, and every
// hosted page obeys the program's offline switch.
#include "browser/download_control.h"
#include "browser/event_object.h"
#include "browser/request_filter.h"
#include "browser/script_executor.h"
#include "core/offline_state.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/scratch_dir.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrix {
namespace {

// A server on 127.0.0.1 that answers every request; what it logged tells
// whether a page reached it, and one that is allowed to proves it would.
constexpr char kAnswerAll[] = R"({"routes": {"*": [{"send":
    "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nok"}]}})";

// The request lines `server` logged, one a line.
std::string Seen(const test::TFaultServer& server) {
  std::string lines;
  for (const test::TRecordedRequest& r : server.Requests()) lines += r.RequestLine + "\n";
  return lines;
}

TEST(HiddenPageSafety, ReachesNoServerAndNoFile) {
  test::TFaultServer server(kAnswerAll);
  ASSERT_TRUE(server.Start()) << server.Error();
  OfflineState offline;  // online: the seal must hold on its own
  TScriptExecutor executor(offline, nullptr);
  const std::string page = test::ReadWholeFile(std::string(KESTRIX_SOURCE_DIR) +
                                               "/tests/fixtures/browser/greedy_page.html");
  executor.LoadPage(QString::fromStdString(page)
                        .replace(QStringLiteral("SERVER"), QString::fromStdString(server.BaseUrl()))
                        .toStdString());

  const std::string post = "HTMLFormElement.prototype.requestSubmit.call(document.forms[0])";
  EXPECT_TRUE(executor.RunScript("document.getElementById('send').click()"));
  EXPECT_TRUE(executor.RunScript(post));
  EXPECT_TRUE(executor.RunScript("location.href = 'file:///etc/hostname'"));
  EXPECT_EQ(executor.Result().Url, "file:///etc/hostname");
  EXPECT_TRUE(executor.RunScript("location.href = '" + server.BaseUrl() + "/navigate'"));
  EXPECT_EQ(executor.Result().Url, server.BaseUrl() + "/navigate");
  EXPECT_FALSE(executor.RunScript(
      "var r = new XMLHttpRequest(); r.open('GET', 'file:///etc/hostname', false); r.send();"
      "window.leak = r.responseText;"));
  EXPECT_FALSE(executor.RunScript("fetch('" + server.BaseUrl() + "/late'); 0"));
  test::RunFor(1500);  // requests the page started have arrived by then

  EXPECT_FALSE(executor.RunScript("if (window.leak) window.open('leaked:' + window.leak)"))
      << executor.Result().Url;
  // The page stayed where it was loaded through all of this.
  EXPECT_TRUE(executor.RunScript("window.open(location.protocol)"));
  EXPECT_EQ(executor.Result().Url, "kestrix-page:");
  EXPECT_EQ(Seen(server), "");
}

// Loads `url` into a page of its own profile, as the preview would.
bool LoadHostedPage(const OfflineState& offline, const TEventObject& site, const QUrl& url) {
  QWebEngineProfile profile;
  PageRequestFilter filter(&offline);
  std::optional<bool> ok;
  {
    QWebEnginePage page(&profile);
    ApplyDownloadControl(site, page, filter);
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool done) { ok = done; });
    page.load(url);
    test::RunUntil([&] { return ok.has_value(); }, 5000);
  }
  return ok.value_or(false);
}

TEST(HostedPages, ObeyTheOfflineSwitch) {
  test::TFaultServer server(kAnswerAll);
  ASSERT_TRUE(server.Start()) << server.Error();
  OfflineState offline;
  TEventObject saved;  // the initial set works offline whatever the switch says
  TEventObject live;   // a preview of a live page: offline only when the program is
  live.Remove(TDownloadOption::ForceOffline);
  live.Add(TDownloadOption::OfflineIfNotConnected);
  const QUrl url(QString::fromStdString(server.BaseUrl() + "/page.htm"));
  // The last case reaches the server: the counter works.
  for (const auto& [site, programOffline] :
       {std::pair{&live, true}, std::pair{&saved, false}, std::pair{&live, false}}) {
    const bool reached = site == &live && !programOffline;
    offline.SetGlobalOffline(programOffline);
    EXPECT_EQ(LoadHostedPage(offline, *site, url), reached);
    test::RunFor(reached ? 0 : 300);
    EXPECT_EQ(!Seen(server).empty(), reached) << Seen(server);
  }
}

}  // namespace
}  // namespace kestrix
