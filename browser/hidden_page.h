// The page object of the script executor: it never shows anything, never
// opens a window and never leaves its document. Every navigation and every
// new-window request is offered to the owner, which captures and refuses it.
#pragma once

#include <QWebEnginePage>

#include <functional>

namespace kestrix {

class HiddenPage final : public QWebEnginePage {
 public:
  // Returns whether the navigation may go ahead.
  using NavigationHook = std::function<bool(const QUrl& url, bool main_frame)>;

  HiddenPage(QWebEngineProfile* profile, NavigationHook hook);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  // Message boxes answer at once, so a page that floods them cannot stall us.
  void javaScriptAlert(const QUrl& origin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& default_value,
                        QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override;

 private:
  NavigationHook hook_;
};

}  // namespace kestrix
