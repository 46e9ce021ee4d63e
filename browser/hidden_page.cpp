#include "browser/hidden_page.h"

#include <QWebEngineNewWindowRequest>

namespace kestrix {

HiddenPage::HiddenPage(QWebEngineProfile* profile, NavigationHook hook)
    : QWebEnginePage(profile), hook_(std::move(hook)) {
  // A window the page opens by itself is a target like any navigation.
  connect(this, &QWebEnginePage::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest& request) { hook_(request.requestedUrl(), true); });
}

bool HiddenPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame) {
  return hook_(url, main_frame);
}

QWebEnginePage* HiddenPage::createWindow(WebWindowType) {
  return nullptr;
}

void HiddenPage::javaScriptAlert(const QUrl&, const QString&) {}

bool HiddenPage::javaScriptConfirm(const QUrl&, const QString&) {
  return true;
}

bool HiddenPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
  return false;
}

void HiddenPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                          const QString&) {}

}  // namespace kestrix
