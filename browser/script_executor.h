// The hidden browser that resolves links made by scripts.
//
// One offscreen page, never shown, in a private in-memory profile. LoadPage
// serves the page's bytes under a fake address and waits for it to load
// with its own scripts run; RunScript runs one link's code in that page and
// reports where the page would have gone: a navigation (refused after
// capture), a window.open, or a form's submit() with its action, method and
// encoded fields. Nothing is fetched: the page may load only its own
// document, and every navigation is refused.
//
// Calls are synchronous for the caller. Each one waits for the page in a
// bounded nested event loop (see AnalysisGuard for what that means for the
// rest of the program); a page that does not answer in time is killed and
// rebuilt, and the call reports nothing captured. Calls made while another
// call is waiting do nothing.
//
// The web engine starts on the first LoadPage, so a program that never
// resolves scripts never pays for it.
#pragma once

#include "browser/event_object.h"
#include "links/script_resolver.h"

#include <QByteArray>
#include <QUrl>

#include <memory>
#include <string>

namespace kestrix {

class AnalysisGuard;
class OfflineState;

struct TScriptExecutorLimits {
  int load_ms = 5000;    // for a page to load and run its own scripts
  int script_ms = 3000;  // for one link's code to run
};

class TScriptExecutor final : public ScriptResolver {
 public:
  // `offline` and `guard` (which may be null) must outlive the executor, and
  // the executor must go before the application object does.
  TScriptExecutor(const OfflineState& offline, AnalysisGuard* guard,
                  TScriptExecutorLimits limits = {});
  ~TScriptExecutor() override;
  TScriptExecutor(const TScriptExecutor&) = delete;
  TScriptExecutor& operator=(const TScriptExecutor&) = delete;

  void LoadPage(const std::string& text) override;
  bool RunScript(const std::string& code) override;
  void ClearPage() override;

  const std::string& PageText() const override { return page_text_; }
  TCaptureKind Kind() const override { return kind_; }
  const TExecResultRec& Result() const override { return result_; }

  // The hidden document's location as read before the last script run.
  const std::string& CurrentUrl() const { return current_url_; }
  // The download-control site of the hidden page; download only by default.
  TEventObject& Site() { return site_; }

  bool EngineStarted() const { return engine_ != nullptr; }
  // How many documents the page has been given to load.
  int PageLoads() const { return load_serial_; }
  // How many times a page had to be thrown away because it did not answer.
  int PagesDiscarded() const { return pages_discarded_; }

 private:
  struct Engine;

  void StartEngine();
  void BuildPage();
  void DiscardPage();
  bool ShowPage(const std::string& text);
  bool OnNavigation(const QUrl& url, bool main_frame);
  void Capture(TCaptureKind kind, std::string url, std::string method, std::string value);

  const OfflineState& offline_;
  AnalysisGuard* guard_;
  TScriptExecutorLimits limits_;
  TEventObject site_;
  std::unique_ptr<Engine> engine_;

  std::string page_text_;
  std::string current_url_ = "about:blank";
  TCaptureKind kind_ = TCaptureKind::Nothing;
  TExecResultRec result_;

  bool busy_ = false;        // a call is waiting for the page
  bool page_ready_ = false;  // the page holds a loaded document
  bool page_blank_ = false;  // ... an empty one that no code has run in
  bool loading_ = false;     // our own load of the page may pass
  bool capturing_ = false;   // navigations are a script's targets
  int pages_discarded_ = 0;
  int load_serial_ = 0;
  QByteArray charset_ = "UTF-8";  // as the engine decoded the loaded page
};

}  // namespace kestrix
