// A preview pane over a real download engine in a scratch folder, with a
// host that records what the pane asked of it, and a way to answer each
// post data editor the pane opens.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/preview_page.h"
#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "links/html_parser.h"
#include "tests/support/event_wait.h"
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
  TPreviewFixture() : Ini(Dir.Path() + "kestrix.ini"), Store(Ini) {
    Options.DownLoadFolder = Dir.Path() + "downloads/";
    Store.AddProject(kPreviewProject);
    Control = std::make_unique<TDownloadControl>(
        TEngineContext{Options, Store, State, Parser, Observer, ScriptResolverFactory()});
    Control->SetRunningProject(kPreviewProject);
    TPreviewContext context{
        *Control,
        Options,
        Offline,
        [this](QWidget*, TMessageKind, const QString& text) { Messages.push_back(text); },
        [this](const QUrl& url) {
          Opened.push_back(url);
          return OpenAnswer;
        },
        [this](TfmPostData& editor) {
          Editors.push_back({editor.ResultUrl(), editor.Data().Params(), editor.Data().IsGet(),
                             editor.Data().ItemCount(), editor.lblEncoding->text().toStdString()});
          QPointer<TfmPostData> open(&editor);
          QTimer::singleShot(0, [open, answer = Answer] {
            QAbstractButton* button = open && answer ? answer(*open) : nullptr;
            if (button != nullptr) {
              button->click();
            } else if (open) {
              open->reject();
            }
          });
        }};
    Pane = std::make_unique<TPreviewPane>(std::move(context), Host);
    Pane->resize(800, 600);
    Pane->show();
    QObject::connect(&Pane->Page(), &QWebEnginePage::loadFinished,
                     [this] { loaded_.push_back(PageUrl()); });
  }
  ~TPreviewFixture() {
    Pane.reset();
    Control.reset();
  }

  // Job 1 of the project gets `url`.
  void SetJob(const std::string& url) {
    TJobRecord job;
    job.ProjectName = kPreviewProject;
    job.editUrl = url;
    if (Store.JobCount(kPreviewProject) == 0) {
      Store.AddJob(job);
    } else {
      Store.UpdateJob(kPreviewProject, 1, job);
    }
  }
  // Job 1 of the project gets `url`; the pane shows it live.
  bool PreviewLive(const std::string& url) {
    SetJob(url);
    return Pane->PreviewStartingPage(kPreviewProject, 1) && WaitForLoad(url);
  }
  // Appends a queue entry for the saved file `folder` + `name`; answers its row.
  int AddSavedEntry(const std::string& url, const std::string& folder, const std::string& name) {
    TRetriveRec entry;
    entry.Job.editUrl = url;
    entry.LocalFolder = folder;
    entry.LocalFileName = name;
    return State.Queue.Append(url, entry) + 1;
  }
  // Runs script code in the page as the page's own; waits for its answer.
  QString RunInPage(const QString& code) {
    std::optional<QString> result;
    Pane->Page().runJavaScript(code, [&result](const QVariant& v) { result = v.toString(); });
    RunUntil([&result] { return result.has_value(); }, 5000);
    return result.value_or(QStringLiteral("<no answer>"));
  }
  // Waits until a load of a URL holding `part` has finished since the last
  // such wait.
  bool WaitForLoad(const std::string& part, int timeoutMs = 8000) {
    bool found = false;
    RunUntil(
        [this, &part, &found] {
          for (; !found && waited_ < loaded_.size(); ++waited_) {
            found = loaded_[waited_].find(part) != std::string::npos;
          }
          return found;
        },
        timeoutMs);
    return found;
  }
  std::string PageUrl() const { return Pane->Page().url().toString().toStdString(); }
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
