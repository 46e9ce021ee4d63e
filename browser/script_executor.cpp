#include "browser/script_executor.h"

#include "browser/analysis_guard.h"
#include "browser/bridge_scripts.h"
#include "browser/download_control.h"
#include "browser/hidden_page.h"
#include "browser/nested_wait.h"
#include "browser/page_charset.h"
#include "browser/page_origin.h"
#include "browser/request_filter.h"
#include "browser/web_engine_setup.h"
#include "core/offline_state.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <sys/types.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>

namespace kestrix {
namespace {

// Sent ahead of every page: even if a request slipped past the filter, the
// page itself may load nothing but its own inline scripts and styles. Frames
// may try to navigate, so that a script steering a frame reaches the
// navigation hook, which captures and refuses it.
constexpr char kSealingMeta[] =
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "script-src 'unsafe-inline' 'unsafe-eval'; style-src 'unsafe-inline'; frame-src *\">";

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return s;
}

QWebEngineScript MakeScript(const QString& name, const QString& source,
                            QWebEngineScript::InjectionPoint point) {
  QWebEngineScript script;
  script.setName(name);
  script.setSourceCode(source);
  script.setInjectionPoint(point);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  return script;
}

// How often a load is looked at when the engine says nothing.
constexpr int kLoadPollMs = 200;

}  // namespace

struct TScriptExecutor::Engine {
  explicit Engine(const OfflineState* offline) : filter(offline) {}

  // Declared in the order they may be destroyed in reverse: the page goes
  // before its profile, the profile before what it was given.
  PageRequestFilter filter;
  PageSchemeHandler handler;
  std::unique_ptr<QWebEngineProfile> profile;
  std::unique_ptr<HiddenPage> page;
  QUrl base;
};

TScriptExecutor::TScriptExecutor(const OfflineState& offline, AnalysisGuard* guard,
                                 TScriptExecutorLimits limits)
    : offline_(offline), guard_(guard), limits_(limits) {
  site_.Add(TDownloadOption::DownloadOnly);
}

TScriptExecutor::~TScriptExecutor() = default;

void TScriptExecutor::StartEngine() {
  PrepareWebEngine();
  engine_ = std::make_unique<Engine>(&offline_);
  engine_->base = QUrl(QString::fromStdString(PageBaseUrl()));

  // No storage name: a private profile that keeps nothing on disk.
  engine_->profile = std::make_unique<QWebEngineProfile>();
  QWebEngineProfile& profile = *engine_->profile;
  profile.setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile.setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile.setSpellCheckEnabled(false);

  TRequestRules rules;
  rules.sealed_scheme = kPageScheme;
  engine_->filter.SetRules(rules);
  // On the profile as well as the page, so workers the page starts are
  // filtered too.
  profile.setUrlRequestInterceptor(&engine_->filter);
  profile.installUrlSchemeHandler(QByteArray(kPageScheme), &engine_->handler);
  profile.scripts()->insert(MakeScript(QStringLiteral("kestrix-prologue"), PrologueScript(),
                                       QWebEngineScript::DocumentCreation));
  profile.scripts()->insert(MakeScript(QStringLiteral("kestrix-epilogue"), EpilogueScript(),
                                       QWebEngineScript::DocumentReady));
  BuildPage();
}

void TScriptExecutor::BuildPage() {
  auto page = std::make_unique<HiddenPage>(
      engine_->profile.get(),
      [this](const QUrl& url, bool main_frame) { return OnNavigation(url, main_frame); });
  ApplyDownloadControl(site_, *page, engine_->filter);
  QWebEngineSettings* settings = page->settings();
  // Native window.open reaches the new-window hook instead of a popup
  // blocker; no window is ever made.
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
  settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  settings->setAttribute(QWebEngineSettings::WebGLEnabled, false);
  settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
  engine_->page = std::move(page);
  page_ready_ = false;
}

void TScriptExecutor::DiscardPage() {
  // A page stuck in a script cannot be asked to stop; its renderer serves
  // only this private profile, so ending it harms nothing else. (An engine
  // run as a single process reports our own id; that one stays.)
  const qint64 pid = engine_->page->renderProcessPid();
  if (pid > 0 && pid != ::getpid()) ::kill(static_cast<pid_t>(pid), SIGKILL);
  engine_->page.reset();
  page_ready_ = false;
  ++pages_discarded_;
}

bool TScriptExecutor::ShowPage(const std::string& text) {
  const QByteArray serial = QByteArray::number(++load_serial_);
  QByteArray bytes(kSealingMeta);
  bytes += "<meta name=\"kestrix-load\" content=\"" + serial + "\">";
  bytes.append(text.data(), static_cast<qsizetype>(text.size()));
  engine_->handler.SetPage(std::move(bytes));
  ApplyDownloadControl(site_, *engine_->page, engine_->filter);

  // The engine's own load notices cannot be trusted to the end: a page that
  // tries to navigate while it loads gets its load reported as stopped. So
  // they only prompt a look at the document itself, which tells by its
  // serial whether it is this load's and by its state whether it is done.
  const QString probe = QStringLiteral(
      "(function () { var m = document.querySelector('meta[name=\"kestrix-load\"]');"
      " return [document.readyState, m ? m.content : '', document.characterSet].join(' ');"
      " })()");
  const QString done = QStringLiteral("complete ") + QString::fromLatin1(serial) + u' ';
  QElapsedTimer clock;
  clock.start();
  loading_ = true;
  engine_->page->load(engine_->base);
  bool responsive = true;
  page_ready_ = false;
  while (!page_ready_) {
    const int remaining = limits_.load_ms - static_cast<int>(clock.elapsed());
    if (remaining <= 0) {
      responsive = false;
      break;
    }
    auto notice = std::make_shared<NestedWait>(guard_);
    const QMetaObject::Connection watch =
        QObject::connect(engine_->page.get(), &QWebEnginePage::loadingChanged,
                         [notice](const QWebEngineLoadingInfo& info) {
                           if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                             notice->Done();
                         });
    notice->Wait(std::min(remaining, kLoadPollMs));
    QObject::disconnect(watch);

    auto answer = std::make_shared<NestedWait>(guard_);
    engine_->page->runJavaScript(probe, [answer](const QVariant& v) { answer->Done(v); });
    if (!answer->Wait(std::max(1, limits_.load_ms - static_cast<int>(clock.elapsed())))) {
      responsive = false;
      break;
    }
    const QString state = answer->Value().toString();
    page_ready_ = state.startsWith(done);
    if (page_ready_) charset_ = state.mid(done.size()).toLatin1();
  }
  loading_ = false;
  page_blank_ = page_ready_ && text.empty();
  if (!responsive) {
    DiscardPage();
    BuildPage();
  }
  return page_ready_;
}

void TScriptExecutor::LoadPage(const std::string& text) {
  if (busy_) return;
  if (!engine_) StartEngine();
  page_text_.clear();
  if (text.empty()) return;
  page_text_ = text;
  busy_ = true;
  ShowPage(text);
  busy_ = false;
}

void TScriptExecutor::ClearPage() {
  // Callers clear after every page once any page was loaded; loading the
  // empty document again each time would cost a page load per page.
  if (busy_ || !engine_ || page_blank_) return;
  busy_ = true;
  ShowPage({});
  busy_ = false;
}

bool TScriptExecutor::RunScript(const std::string& code) {
  kind_ = TCaptureKind::Nothing;
  result_ = {};
  if (code.empty() || busy_ || !engine_ || !page_ready_) return false;
  busy_ = true;
  page_blank_ = false;  // the code may have changed the page
  HiddenPage& page = *engine_->page;
  current_url_ = page.url().toEncoded().toStdString();

  QElapsedTimer clock;
  clock.start();
  capturing_ = true;
  auto run = std::make_shared<NestedWait>(guard_);
  page.runJavaScript(LinkCodeCall(DecodePageText(code, charset_)),
                     [run](const QVariant& value) { run->Done(value); });
  bool answered = run->Wait(limits_.script_ms);
  QString record;
  if (answered) {
    // A second round trip: what the code set going (a navigation, a form
    // submission) has reached us by the time this answer does.
    auto take = std::make_shared<NestedWait>(guard_);
    page.runJavaScript(TakeCaptureCall(), [take](const QVariant& value) { take->Done(value); });
    answered = take->Wait(std::max<int>(1, limits_.script_ms - int(clock.elapsed())));
    record = take->Value().toString();
  }
  capturing_ = false;

  if (!answered) {
    kind_ = TCaptureKind::Nothing;
    result_ = {};
    DiscardPage();
    BuildPage();
    if (!page_text_.empty()) ShowPage(page_text_);
    busy_ = false;
    return false;
  }
  // A navigation ends the page, so it is the last thing the code did and
  // wins over what the bridge recorded before it.
  if (kind_ == TCaptureKind::Nothing) {
    const QJsonObject r = QJsonDocument::fromJson(record.toUtf8()).object();
    const int k = r.value(QStringLiteral("k")).toInt();
    if (k == 1 || k == 2) {
      const auto text = [&](const char* key) {
        return EncodePageText(r.value(QLatin1String(key)).toString(), charset_);
      };
      Capture(static_cast<TCaptureKind>(k), text("u"), text("m"), text("v"));
    }
  }
  busy_ = false;
  return kind_ != TCaptureKind::Nothing;
}

bool TScriptExecutor::OnNavigation(const QUrl& url, bool main_frame) {
  if (loading_ && main_frame && url == engine_->base) return true;
  if (capturing_) {
    const std::string target = url.toEncoded().toStdString();
    if (Lower(target) != Lower(current_url_)) {
      Capture(TCaptureKind::Url, StripPageBase(target), {}, {});
    }
  }
  return false;
}

void TScriptExecutor::Capture(TCaptureKind kind, std::string url, std::string method,
                              std::string value) {
  kind_ = kind;
  result_.Url = std::move(url);
  result_.Method = std::move(method);
  result_.Value = std::move(value);
}

}  // namespace kestrix
