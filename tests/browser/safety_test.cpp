// The hidden page reaches neither the network nor the file system, every
// hosted page obeys the program's offline switch, and the flags the hosted
// pages are given.
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
class TCountingServer : public test::TFaultServer {
 public:
  TCountingServer()
      : TFaultServer(R"({"routes": {"*": [{"send":
          "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nok"}]}})") {
    EXPECT_TRUE(Start()) << Error();
  }
  std::string Url(const std::string& path) const { return BaseUrl() + path; }
  // The request lines logged, one a line.
  std::string Seen() const {
    std::string lines;
    for (const test::TRecordedRequest& r : Requests()) lines += r.RequestLine + "\n";
    return lines;
  }
};

TEST(HiddenPageSafety, ReachesNoServerAndNoFile) {
  TCountingServer server;
  OfflineState offline;  // online: the seal must hold on its own
  TScriptExecutor executor(offline, nullptr);
  const std::string page = test::ReadWholeFile(std::string(KESTRIX_SOURCE_DIR) +
                                               "/tests/fixtures/browser/greedy_page.html");
  executor.LoadPage(QString::fromStdString(page)
                        .replace(QStringLiteral("SERVER"), QString::fromStdString(server.Url("")))
                        .toStdString());

  const std::string post = "HTMLFormElement.prototype.requestSubmit.call(document.forms[0])";
  EXPECT_TRUE(executor.RunScript("document.getElementById('send').click()"));
  EXPECT_TRUE(executor.RunScript(post));
  EXPECT_TRUE(executor.RunScript("location.href = 'file:///etc/hostname'"));
  EXPECT_EQ(executor.Result().Url, "file:///etc/hostname");
  EXPECT_TRUE(executor.RunScript("location.href = '" + server.Url("/navigate") + "'"));
  EXPECT_EQ(executor.Result().Url, server.Url("/navigate"));
  EXPECT_FALSE(executor.RunScript(
      "var r = new XMLHttpRequest(); r.open('GET', 'file:///etc/hostname', false); r.send();"
      "window.leak = r.responseText;"));
  EXPECT_FALSE(executor.RunScript("fetch('" + server.Url("/late") + "'); 0"));
  test::RunFor(1500);  // requests the page started have arrived by then

  EXPECT_FALSE(executor.RunScript("if (window.leak) window.open('leaked:' + window.leak)"))
      << executor.Result().Url;
  // The page stayed where it was loaded through all of this.
  EXPECT_TRUE(executor.RunScript("window.open(location.protocol)"));
  EXPECT_EQ(executor.Result().Url, "kestrix-page:");
  EXPECT_EQ(server.Seen(), "");
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
  TCountingServer server;
  OfflineState offline;
  TEventObject saved;  // the initial set works offline whatever the switch says
  TEventObject live;   // a preview of a live page: offline only when the program is
  live.Remove(TDownloadOption::ForceOffline);
  live.Add(TDownloadOption::OfflineIfNotConnected);
  const QUrl url(QString::fromStdString(server.Url("/page.htm")));
  // The last case reaches the server: the counter works.
  for (const auto& [site, programOffline] :
       {std::pair{&live, true}, std::pair{&saved, false}, std::pair{&live, false}}) {
    const bool reached = site == &live && !programOffline;
    offline.SetGlobalOffline(programOffline);
    EXPECT_EQ(LoadHostedPage(offline, *site, url), reached);
    test::RunFor(reached ? 0 : 300);
    EXPECT_EQ(!server.Seen().empty(), reached) << server.Seen();
  }
}

TEST(EventObject, FlagSumsFollowTheSet) {
  EXPECT_EQ(TEventObject().Options(), 0x3C07);
  const struct {
    const char* what;
    void (*change)(TEventObject&);
    std::uint32_t sum;
  } cases[] = {
      {"the host defaults", [](TEventObject&) {}, 0x70004070u},
      {"add download only", [](TEventObject& s) { s.Add(TDownloadOption::DownloadOnly); },
       0x70004870u},
      {"remove force offline", [](TEventObject& s) { s.Remove(TDownloadOption::ForceOffline); },
       0x60004070u},
      {"remove an absent option", [](TEventObject& s) { s.Remove(TDownloadOption::NoScripts); },
       0x70004070u},
      {"preview of a live page",
       [](TEventObject& s) {
         s.Remove(TDownloadOption::ForceOffline);
         s.Add(TDownloadOption::OfflineIfNotConnected);
       },
       0xE0004070u},
      {"assign everything", [](TEventObject& s) { s.SetOptions(0x7FFF); }, 0xF0007FF0u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TEventObject site;
    c.change(site);
    EXPECT_EQ(site.FlagSum(), c.sum);
    std::int32_t answer = 0;
    ASSERT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, &answer), kSOk);
    EXPECT_EQ(static_cast<std::uint32_t>(answer), c.sum);
    // Only the one property is answered, and only when read.
    answer = 12345;
    EXPECT_EQ(site.Invoke(-709, kDispatchPropertyGet, &answer), kENotImpl);
    EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, 4, &answer), kENotImpl);  // a put
    EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, nullptr), kENotImpl);
    EXPECT_EQ(answer, 12345);
  }
}

}  // namespace
}  // namespace kestrix
