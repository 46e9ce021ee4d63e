// The hidden page reaches neither the network nor the file system, and every
// hosted page obeys the program's offline switch. A local server counts
// every connection; a page that is allowed to use it proves it would notice.
#include "browser/download_control.h"
#include "browser/event_object.h"
#include "browser/request_filter.h"
#include "browser/script_executor.h"
#include "core/offline_state.h"
#include "tests/browser/hit_counter.h"
#include "tests/support/event_wait.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestrix {
namespace {

using test::HitCounter;

constexpr char kGreedyPage[] = R"(<html><head>
<link rel="stylesheet" href="SERVER/style.css">
<script src="SERVER/script.js"></script>
<style>body { background: url(SERVER/background.png); }</style>
</head><body>
<img src="SERVER/image.png"><img src="file:///etc/hostname">
<iframe src="SERVER/frame.htm"></iframe><iframe src="file:///etc/"></iframe>
<object data="SERVER/object.bin"></object>
<form id="f" action="SERVER/post" method="post"><input name="a" value="b">
<input type="submit" id="send"></form>
<script>
fetch('SERVER/fetch').then(function (r) { return r.text(); }).then(function (t) { window.leak = t; });
fetch('file:///etc/hostname').then(function (r) { return r.text(); })
  .then(function (t) { window.leak = t; });
var x = new XMLHttpRequest(); x.open('GET', 'SERVER/xhr'); x.send();
new Image().src = 'SERVER/image2.png';
try { navigator.sendBeacon('SERVER/beacon', 'x'); } catch (e) {}
try { new WebSocket('SERVER/socket'.replace('http', 'ws')); } catch (e) {}
try { new EventSource('SERVER/events'); } catch (e) {}
try { new Worker('SERVER/worker.js'); } catch (e) {}
var l = document.createElement('link'); l.rel = 'prefetch'; l.href = 'SERVER/prefetch';
document.head.appendChild(l);
</script></body></html>)";

TEST(HiddenPageSafety, ReachesNoServerAndNoFile) {
  HitCounter server;
  OfflineState offline;  // online: the seal must hold on its own
  TScriptExecutor executor(offline, nullptr);
  executor.LoadPage(QString::fromLatin1(kGreedyPage)
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
  EXPECT_EQ(server.Hits(), 0) << server.Requests();
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
  HitCounter server;
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
    EXPECT_EQ(server.Hits() > 0, reached) << server.Requests();
  }
}

}  // namespace
}  // namespace kestrix
