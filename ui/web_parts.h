// The parts of the desktop program that run the web engine: the page
// preview, the exploration window and the hidden browser that resolves
// script links. The program loads them from a module beside it the first
// time one is needed, so a session that never previews a page or runs a
// script link does not carry the engine's libraries (some 27 MB of memory
// at start, and more once the engine runs); tests link them in.
#pragma once

#include <QString>
#include <memory>
#include <string>

class QWidget;

namespace kestrix {

class OfflineState;
class PreviewHost;
class ScriptResolver;
class TPreviewPane;
class TfmTest;
class THTMLParser;
struct TExplorerWindowHooks;
struct TGlobalOptions;
struct TJobRecord;
struct TPreviewContext;

class WebParts {
 public:
  virtual ~WebParts() = default;

  // The "View" page's pane, owned by `parent`.
  virtual TPreviewPane* MakePreview(TPreviewContext context, PreviewHost& host,
                                    QWidget* parent) const = 0;
  virtual void ViewQueueRow(TPreviewPane& pane, int row) const = 0;
  virtual void PreviewStartingPage(TPreviewPane& pane, const std::string& project,
                                   int job) const = 0;
  virtual void UpdateQueueButtons(TPreviewPane& pane) const = 0;
  virtual void ClearPreview(TPreviewPane& pane) const = 0;

  // The exploration window, owned by `parent`; `parser` and `resolver`
  // must outlive it.
  virtual TfmTest* MakeTest(const TGlobalOptions& options, THTMLParser& parser,
                            ScriptResolver& resolver, TExplorerWindowHooks hooks,
                            QWidget* parent) const = 0;
  // Starts the window over with job `jobNumber`; false while a fetch runs.
  virtual bool StartTest(TfmTest& window, const TJobRecord& job, int jobNumber) const = 0;
  // The window goes with what it holds.
  virtual void DeleteTest(TfmTest* window) const = 0;

  // A hidden-browser script resolver; `offline` must outlive it.
  virtual std::unique_ptr<ScriptResolver> MakeResolver(const OfflineState& offline) const = 0;
};

// The program's web parts, or null when they cannot be had; `why` then says
// why. Linked programs always have them.
const WebParts* TheWebParts(QString* why = nullptr);

// The parts themselves, for whatever links or loads them.
const WebParts& LinkedWebParts();

}  // namespace kestrix
