// The main window: the project selector, the job grid, the queue and summary
// pages, the toolbar and menus, the status bar with its worker lights, and
// the tray icon. It owns no engine object: the program hands it everything
// it works with, and it opens dialogs and message boxes only through the
// interfaces it is given.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/desktop_open.h"
#include "ui/engine_events.h"
#include "ui/preview_host.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace kestrix {

class DialogProvider;
class IniFile;
class OfflineState;
class TDownloadControl;
class TEngineEvents;
class TJobGrid;
class TPreviewPane;
class TJobList;
class TQueueModel;
class TQueueView;
class TSummaryView;
class TfmTest;
class THTMLParser;
class ScriptResolver;
class UserPrompts;
class WebParts;
struct TEngineState;
struct TGlobalOptions;
struct TJobRecord;

struct TMainWindowContext {
  IniFile& Ini;
  TJobList& Store;
  TGlobalOptions& Options;
  OfflineState& Offline;
  TEngineState& State;
  TDownloadControl& Control;
  TEngineEvents& Events;
  TQueueModel& QueueModel;
  DialogProvider& Dialogs;
  UserPrompts& Prompts;
  std::string HelpFile;  // the bundled manual
  // Opens files, folders and pages with the desktop's programs; the
  // desktop's handler when empty.
  TOpenUrl OpenUrl;
};

class TfmMain final : public QMainWindow, public PreviewHost {
  Q_OBJECT

 public:
  enum Page { kJobsPage = 0, kQueuePage = 1, kViewPage = 2, kSummaryPage = 3 };

  explicit TfmMain(TMainWindowContext context, QWidget* parent = nullptr);
  ~TfmMain() override;

  const std::string& RunningProject() const { return runningProject_; }
  bool Minimized() const { return minimized_; }
  // Commands, as the toolbar, menus and keys give them.
  void ChangeProject(const QString& name);
  void NewProject();
  void EditProjectList();
  void DeleteProject();
  // False when the job dialog was cancelled.
  bool NewJob(const QString& url = QString());
  void EditJob();
  void DeleteJob(bool ask);
  void PasteJob();
  void MoveJob(int from, int to);
  // The starting URL of job row `row` edited in place.
  void EditJobUrl(int row, const QString& url);
  void DropUrls(const QStringList& urls);
  void StartDownload();
  void StartSelectedJob();
  void StartAllJobs();
  void StopDownload();
  void ClearData();
  void ShowOptions();
  void ShowHelp();
  void ShowFolder();
  void ShowFind();
  // The links exploration test on the selected job, or on queue entry
  // `row` (from 0) with its job's settings.
  void ShowTest();
  void ExploreEntry(int row);
  TfmTest* TestWindow() const { return test_; }
  void ContinueFrom(int row);
  void GoToParent(int row);

  TJobGrid* JobGrid() const { return jobs_; }
  TQueueView* QueueView() const { return queue_; }
  TSummaryView* SummaryView() const { return summary_; }
  QTabWidget* Pages() const { return pages_; }
  QComboBox* Projects() const { return combo_; }
  QAction* Action(const QString& name) const;
  QString PanelText(int panel) const;
  int WorkerLights() const { return static_cast<int>(lights_.size()); }
  bool WorkerLit(int slot) const;

  // The "View" page's preview pane, made on first use (a program that links
  // the web parts always has it).
  TPreviewPane& Preview();
  bool HasPreview() const { return preview_ != nullptr; }

  // What the preview asks of the window.
  std::string SelectedProject() const override;
  int SelectedJob() const override;
  int SelectedQueueRow() const override;
  void SelectQueueRow(int row) override;
  void ShowViewPage() override;
  void ShowQueuePage() override;
  void ShowPreviewStatus(const QString& text) override;
  void EditSelectedJob() override;

  // The geometry kept in section "MainWnd", fitted to the screens' free
  // areas (any part of the title bar must stay reachable).
  static QRect FitToScreens(const QRect& wanted, const QList<QRect>& screens);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildPages();
  void BuildStatusBar();
  void ConnectEngine();
  void ConnectPreview();
  // The preview pane, made on first use; null, and the user told why, when
  // the web parts cannot be had.
  TPreviewPane* MadePreview();
  // The web parts, loaded on first use; null, and the user told why, when
  // they cannot be had.
  const WebParts* Web();
  void OpenTest(const TJobRecord& job, int jobNumber);
  void ReadGeometry();
  bool SaveOnExit();
  void FillProjects(const QString& select);
  void FillJobGrid();
  void ShowJobHints();
  void UpdateCommandStates();
  bool HasProject() const;
  int JobCount() const;
  // Refuses while anything uses the queue: puts the selector back and
  // offers to stop. True when refused.
  bool RefuseWhileBusy();
  // Runs `command` through the download control, which holds it back while
  // a page analysis or a stop is under way.
  void Run(std::function<void()> command);
  void Connect(QAction* action, void (TfmMain::*command)());
  void SetStateTexts(const std::vector<QString>& states);
  // After a continue: jobs that were stopped are started again.
  void ResumeStoppedJobs();
  std::vector<QString> StateTexts() const;
  void ShowTitle();
  void ShowRate();
  void SetTrayShown(bool shown);
  // The status bar follows the engine at most every 100 ms: repainting it
  // for every finished entry would cost more than the download itself.
  void ScheduleStatusRefresh();
  void RefreshStatus();

  TMainWindowContext context_;
  std::string runningProject_;
  bool minimized_ = false;
  bool leaveWhenStopped_ = false;  // Exit was confirmed during a download
  QTimer* rateTimer_;
  QComboBox* combo_ = nullptr;
  TJobGrid* jobs_ = nullptr;
  TQueueView* queue_ = nullptr;
  TSummaryView* summary_ = nullptr;
  QWidget* viewPage_ = nullptr;
  TPreviewPane* preview_ = nullptr;
  QTabWidget* pages_ = nullptr;
  const WebParts* web_ = nullptr;            // set with the first of the two below
  TfmTest* test_ = nullptr;                  // made when first asked for
  std::unique_ptr<THTMLParser> testParser_;  // the test window's own
  std::unique_ptr<ScriptResolver> testResolver_;
  QMenu* jobMenu_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  std::vector<QLabel*> panels_;  // in TStatusPanel order
  std::vector<QLabel*> lights_;
  std::vector<bool> lit_;
  std::vector<bool> shownLit_;
  QString& StatusText(TStatusPanel panel) { return statusTexts_[static_cast<size_t>(panel)]; }
  std::array<QString, kStatusPanels> statusTexts_;
  QTimer* statusTimer_;
};

}  // namespace kestrix
