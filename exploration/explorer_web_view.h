// The exploration test's rendered view of a fetched page. It is made the
// first time the user asks to see a page rendered, so that a test that only
// reads links never starts the web engine. The page may show the test's own
// cached files and nothing else of the disk, and reaches the network only
// while the program does not work offline.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "browser/event_object.h"

class QWebEngineProfile;
class QWebEngineView;

namespace kestrix {

class OfflineState;
class PageRequestFilter;
class PreviewPage;

class TExplorerWebView final : public QWidget {
 public:
  // `offline` may be null (no program-wide switch: the view stays offline);
  // it must outlive the view.
  explicit TExplorerWebView(const OfflineState* offline, QWidget* parent = nullptr);
  ~TExplorerWebView() override;

  // Shows `file` (a blank page when it does not exist or lies outside
  // `root`, the folder the view may read); `isHtml`: whatever its name,
  // the server said it is a page.
  void ShowFile(const std::string& file, const std::string& root, bool isHtml);
  // Makes the engine's view now if it was not made yet.
  QWebEngineView* View();
  bool HasView() const { return view_ != nullptr; }
  PreviewPage* Page() const { return page_; }

 private:
  const OfflineState* offline_;
  TEventObject site_;
  std::unique_ptr<PageRequestFilter> filter_;
  QWebEngineProfile* profile_ = nullptr;
  PreviewPage* page_ = nullptr;
  QWebEngineView* view_ = nullptr;
};

}  // namespace kestrix
