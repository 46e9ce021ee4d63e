// A preview pane over a real download engine in a scratch folder, with a
// host that records what the pane asked of it, and a way to answer each
// post data editor the pane opens.
#pragma once

#include <QAbstractButton>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "links/html_parser.h"
#include "tests/support/scratch_dir.h"
#include "ui/post_data_dialog.h"
#include "ui/preview_host.h"
#include "ui/preview_pane.h"

namespace kestrix::test {

inline constexpr char kPreviewProject[] = "site";

class TRecordingHost : public PreviewHost {
 public:
  std::string SelectedProject() const override { return kPreviewProject; }
  int SelectedJob() const override { return 1; }
  int SelectedQueueRow() const override { return row; }
  void SelectQueueRow(int r) override { row = r; }
  void ShowViewPage() override { pages.push_back("View"); }
  void ShowQueuePage() override { pages.push_back("Queue"); }
  void ShowPreviewStatus(const QString&) override {}
  void EditSelectedJob() override {}

  int row = 0;
  std::vector<std::string> pages;
};

// What an editor showed when it opened.
struct TEditorSeen {
  std::string Url;
  std::string Params;
  bool Get = false;
  int Rows = 0;
  std::string Encoding;  // the body's type shown
};

class TPreviewFixture {
 public:
  TPreviewFixture();
  ~TPreviewFixture();

  // Job 1 of the project gets `url`.
  void SetJob(const std::string& url);
  // Job 1 of the project gets `url`; the pane shows it live.
  bool PreviewLive(const std::string& url);
  // Appends a queue entry for the saved file `folder` + `name`.
  int AddSavedEntry(const std::string& url, const std::string& folder, const std::string& name);
  // Runs script code in the page as the page's own; waits for its answer.
  QString RunInPage(const QString& code);
  // Waits until a load of a URL holding `part` has finished since the last
  // such wait.
  bool WaitForLoad(const std::string& part, int timeoutMs = 8000);
  std::string PageUrl() const;
  std::string ProjectFolder() const { return Options.DownLoadFolder + kPreviewProject + "/"; }

  // How the next editors are answered: a button of the editor is clicked
  // from the event loop once it is shown.
  std::function<QAbstractButton*(TfmPostData&)> Answer;

  TScratchDir Dir;
  IniFile Ini;
  TJobList Store;
  TGlobalOptions Options;
  TEngineState State;
  THTMLParser Parser;
  EngineObserver Observer;
  OfflineState Offline;
  std::unique_ptr<TDownloadControl> Control;
  TRecordingHost Host;
  std::vector<QString> Messages;
  std::vector<QUrl> Opened;
  bool OpenAnswer = true;  // whether the desktop has a program for what is opened
  std::vector<TEditorSeen> Editors;
  std::unique_ptr<TPreviewPane> Pane;

 private:
  std::vector<std::string> loaded_;
  std::size_t waited_ = 0;
};

}  // namespace kestrix::test
