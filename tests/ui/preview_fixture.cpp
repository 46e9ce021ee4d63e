#include "tests/ui/preview_fixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>
#include <optional>

#include "browser/preview_page.h"
#include "tests/support/event_wait.h"

namespace kestrix::test {

TPreviewFixture::TPreviewFixture() : Ini(Dir.Path() + "kestrix.ini"), Store(Ini) {
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
        const auto answer = Answer;
        QTimer::singleShot(0, [open, answer] {
          if (!open) return;
          QAbstractButton* button = answer ? answer(*open) : nullptr;
          if (button != nullptr) {
            button->click();
          } else {
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

TPreviewFixture::~TPreviewFixture() {
  Pane.reset();
  Control.reset();
}

void TPreviewFixture::SetJob(const std::string& url) {
  TJobRecord job;
  job.ProjectName = kPreviewProject;
  job.editUrl = url;
  if (Store.JobCount(kPreviewProject) == 0) {
    Store.AddJob(job);
  } else {
    Store.UpdateJob(kPreviewProject, 1, job);
  }
}

bool TPreviewFixture::PreviewLive(const std::string& url) {
  SetJob(url);
  return Pane->PreviewStartingPage(kPreviewProject, 1) && WaitForLoad(url);
}

int TPreviewFixture::AddSavedEntry(const std::string& url, const std::string& folder,
                                   const std::string& name) {
  TRetriveRec entry;
  entry.Job.editUrl = url;
  entry.LocalFolder = folder;
  entry.LocalFileName = name;
  return State.Queue.Append(url, entry) + 1;
}

QString TPreviewFixture::RunInPage(const QString& code) {
  std::optional<QString> result;
  Pane->Page().runJavaScript(code, [&result](const QVariant& v) { result = v.toString(); });
  RunUntil([&result] { return result.has_value(); }, 5000);
  return result.value_or(QStringLiteral("<no answer>"));
}

bool TPreviewFixture::WaitForLoad(const std::string& part, int timeoutMs) {
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

std::string TPreviewFixture::PageUrl() const {
  return Pane->Page().url().toString().toStdString();
}

}  // namespace kestrix::test
