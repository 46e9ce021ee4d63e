// The "View" page of the main window: shows the saved copy of a queue entry,
// or in preview mode a job's starting page fetched live; steps through the
// queue; and turns a form submitted inside the page into the post data
// editor, from which the form can be downloaded or viewed.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "browser/event_object.h"
#include "ui/desktop_open.h"
#include "ui/dialog_message.h"

class QCheckBox;
class QLineEdit;
class QToolButton;
class QUrl;
class QWebEngineProfile;
class QWebEngineView;

namespace kestrix {

class OfflineState;
class PageRequestFilter;
class PreviewHost;
class PreviewPage;
class TDownloadControl;
class TfmPostData;
struct TFormSubmission;
struct TGlobalOptions;

struct TPreviewContext {
  TDownloadControl& Control;      // the queue, the store, and downloads of forms
  const TGlobalOptions& Options;  // where the projects' folders are
  const OfflineState& Offline;    // the program's "Work Offline" switch
  TShowMessage ShowMessage;
  // Opens a saved page in the desktop's default browser; the desktop's
  // handler when empty.
  TOpenUrl OpenExternal;
  // Called with each post data editor before it is shown (tests drive it).
  std::function<void(TfmPostData& editor)> EditorShown;
};

class TPreviewPane : public QWidget {
 public:
  TPreviewPane(TPreviewContext context, PreviewHost& host, QWidget* parent = nullptr);
  ~TPreviewPane() override;

  // Shows the saved file of queue grid row `row` (entries start at 1).
  void ViewQueueRow(int row);
  // Shows job `job` (1-based) of `project` live; false when there is no such job.
  bool PreviewStartingPage(const std::string& project, int job);
  // The up and down buttons: -1 or +1 from the selected queue row.
  void StepQueue(int delta);
  // The up and down buttons work while the queue holds entries.
  void UpdateQueueButtons();
  // Stops and blanks the page and empties both fields (the project's data
  // was cleared).
  void Clear();
  // "View in external browser" on the selected queue row.
  void OpenInExternalBrowser();

  bool PreviewMode = false;

  QToolButton* btnUp;
  QToolButton* btnDown;
  QToolButton* btnBack;
  QToolButton* btnForward;
  QToolButton* btnWebStop;
  QToolButton* btnRefresh;
  QCheckBox* chkImages;
  QCheckBox* chkFrames;
  QCheckBox* chkScripts;
  QToolButton* btnExtBrowser;
  QLineEdit* edNavigate;
  QLineEdit* edFileName;
  QWebEngineView* HTML;

  PreviewPage& Page() const { return *page_; }
  const TEventObject& Site() const { return site_; }

 private:
  void BuildControls();
  void Navigate(const QUrl& url);
  void ApplyOptions();
  void OptionSwitched(TDownloadOption option, bool add);
  void Submitted(const TFormSubmission& form);
  // `multipart`: the body goes out as multipart/form-data, as the form asked.
  void DownloadForm(const std::string& url, const std::optional<std::string>& body, bool multipart);
  void ViewForm(const std::string& url, const std::optional<std::string>& body, bool multipart);
  void SetLocalRoot(const std::string& folder);
  std::string ProjectFolder() const;
  std::string QueueFile(int row) const;

  TPreviewContext context_;
  PreviewHost& host_;
  TEventObject site_;
  std::unique_ptr<PageRequestFilter> filter_;
  QWebEngineProfile* profile_;
  PreviewPage* page_;
  bool editorOpen_ = false;
};

}  // namespace kestrix
