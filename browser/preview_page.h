// The page of the preview browser. Unlike the hidden page it shows what it
// loads and follows links, but three things go through the owner: a form
// submitted to an HTTP server, which is cancelled and handed over with its
// fields; files outside the folder the owner allows, which are never shown;
// and anything from the network while the owner says it is offline.
#pragma once

#include <QWebEnginePage>

#include <functional>
#include <string>

namespace kestrix {

struct TFormSubmission {
  std::string Url;   // where the form went, with the query a GET form made
  std::string Body;  // the fields, "name=value&..." as a browser encodes them
  bool Posted = false;
  // The form asked for multipart/form-data; its fields are still given as
  // "name=value&..." above, to be edited as any other form's.
  bool Multipart = false;
};

class PreviewPage final : public QWebEnginePage {
 public:
  using SubmitHook = std::function<void(const TFormSubmission& form)>;
  using OfflineCheck = std::function<bool()>;

  // `submitted` is called from the event loop after the submission was
  // cancelled, never from inside the navigation decision.
  PreviewPage(QWebEngineProfile* profile, SubmitHook submitted, OfflineCheck offline,
              QObject* parent = nullptr);

  // Files of this folder (and below) may be shown; empty: no file at all.
  void SetLocalRoot(const std::string& folder) { localRoot_ = folder; }
  const std::string& LocalRoot() const { return localRoot_; }
  // Whether `path` names something inside the local root, links resolved.
  bool MayShowFile(const std::string& path) const;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int line, const QString& source) override;

 private:
  void TakeSubmission(const QUrl& url);

  SubmitHook submitted_;
  OfflineCheck offline_;
  std::string localRoot_;
};

}  // namespace kestrix
