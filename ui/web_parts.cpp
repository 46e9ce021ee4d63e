#include "ui/web_parts.h"

#include "browser/script_executor.h"
#include "exploration/explorer_window.h"
#include "ui/preview_pane.h"

namespace kestrix {
namespace {

class TLinkedWebParts final : public WebParts {
 public:
  TPreviewPane* MakePreview(TPreviewContext context, PreviewHost& host,
                            QWidget* parent) const override {
    return new TPreviewPane(std::move(context), host, parent);
  }
  void ViewQueueRow(TPreviewPane& pane, int row) const override { pane.ViewQueueRow(row); }
  void PreviewStartingPage(TPreviewPane& pane, const std::string& project, int job) const override {
    pane.PreviewStartingPage(project, job);
  }
  void UpdateQueueButtons(TPreviewPane& pane) const override { pane.UpdateQueueButtons(); }
  void ClearPreview(TPreviewPane& pane) const override { pane.Clear(); }

  TfmTest* MakeTest(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver,
                    TExplorerWindowHooks hooks, QWidget* parent) const override {
    return new TfmTest(options, parser, resolver, std::move(hooks), parent);
  }
  bool StartTest(TfmTest& window, const TJobRecord& job, int jobNumber) const override {
    return window.CreateNewThread(job, jobNumber);
  }
  void DeleteTest(TfmTest* window) const override { delete window; }

  std::unique_ptr<ScriptResolver> MakeResolver(const OfflineState& offline) const override {
    return std::make_unique<TScriptExecutor>(offline, nullptr);
  }
};

}  // namespace

const WebParts& LinkedWebParts() {
  static const TLinkedWebParts parts;
  return parts;
}

}  // namespace kestrix
