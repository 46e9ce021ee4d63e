#include "browser/preview_page.h"

#include "browser/request_filter.h"

#include <QTimer>
#include <QVariantMap>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace kestrix {
namespace {

// Runs in a world of its own, which page scripts cannot see or change. A
// submission's entry list is announced by a "formdata" event after the
// page's own submit handlers have had their say, for scripted submits too;
// the event's target is the form, and the button that submitted it comes
// from the "submit" event before it (the engine may announce the list more
// than once in one submission).
constexpr char kCaptureScript[] = R"((function () {
  var submitter = null, last = null;
  window.addEventListener('submit', function (e) {
    submitter = e.submitter || null;
    setTimeout(function () { submitter = null; }, 0);
  }, true);
  window.addEventListener('formdata', function (e) {
    var form = e.target, pairs = [];
    for (var entry of e.formData) {
      pairs.push([entry[0], typeof entry[1] === 'string' ? entry[1] : entry[1].name]);
    }
    var method = form.method, enctype = form.enctype;
    if (submitter && submitter.form === form) {
      if (submitter.hasAttribute('formmethod')) method = submitter.formMethod;
      if (submitter.hasAttribute('formenctype')) enctype = submitter.formEnctype;
      // The button that submitted belongs in the list; not every event has it.
      var named = submitter.name && pairs.some(function (p) {
        return p[0] === submitter.name && p[1] === submitter.value;
      });
      if (submitter.name && !named) pairs.push([submitter.name, submitter.value]);
    }
    last = {method: method, enctype: enctype, body: new URLSearchParams(pairs).toString()};
  }, false);
  window.__kestrixTakeForm = function () { var r = last; last = null; return r; };
})();)";

constexpr char kTakeScript[] =
    "typeof __kestrixTakeForm === 'function' ? __kestrixTakeForm() : null";

}  // namespace

PreviewPage::PreviewPage(QWebEngineProfile* profile, SubmitHook submitted, OfflineCheck offline,
                         QObject* parent)
    : QWebEnginePage(profile, parent),
      submitted_(std::move(submitted)),
      offline_(std::move(offline)) {
  QWebEngineScript capture;
  capture.setName(QStringLiteral("kestrix-form-capture"));
  capture.setSourceCode(QString::fromLatin1(kCaptureScript));
  capture.setInjectionPoint(QWebEngineScript::DocumentCreation);
  capture.setWorldId(QWebEngineScript::ApplicationWorld);
  capture.setRunsOnSubFrames(false);
  scripts().insert(capture);

  // A saved page needs its own files (the owner's request filter keeps it to
  // them); it may reach nothing beyond the disk.
  QWebEngineSettings* page_settings = settings();
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  page_settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  page_settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  page_settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
  page_settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
}

bool PreviewPage::MayShowFile(const std::string& path) const {
  return IsInsideFolder(localRoot_, path);
}

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) {
  const std::string scheme = url.scheme().toLower().toStdString();
  if (scheme == "file") return MayShowFile(url.toLocalFile().toStdString());
  // History steps and reloads repeat what was decided before; forms sent
  // to anything but an HTTP server are the page's own business.
  if (type == NavigationTypeFormSubmitted && main_frame && scheme == "http") {
    // The body of the submission does not reach this hook; the capture
    // script kept it. It is read, and the owner told, once this decision
    // is over.
    QTimer::singleShot(0, this, [this, url] { TakeSubmission(url); });
    return false;
  }
  return IsLocalScheme(scheme) || !offline_ || !offline_();
}

void PreviewPage::TakeSubmission(const QUrl& url) {
  runJavaScript(QString::fromLatin1(kTakeScript), QWebEngineScript::ApplicationWorld,
                [this, url](const QVariant& result) {
                  TFormSubmission form;
                  form.Url = url.toString(QUrl::FullyEncoded).toStdString();
                  const QVariantMap record = result.toMap();
                  if (record.value(QStringLiteral("method")).toString() == QLatin1String("post")) {
                    form.Posted = true;
                    form.Body = record.value(QStringLiteral("body")).toString().toStdString();
                    form.Multipart = record.value(QStringLiteral("enctype")).toString() ==
                                     QLatin1String("multipart/form-data");
                  }
                  // The owner may open a modal editor: not from inside the
                  // engine's answer.
                  QTimer::singleShot(0, this, [this, form] {
                    if (submitted_) submitted_(form);
                  });
                });
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType) {
  return nullptr;
}

void PreviewPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                           const QString&) {}

}  // namespace kestrix
