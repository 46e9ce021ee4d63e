// The exploration test window: a job's page at a time, its links in two
// grids (would be followed / would not, with the reason), steps down into
// a link and back up, the page as text or rendered. The window asks and
// tells through the hooks it is given, so that its tests never meet a
// modal box they cannot close.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "exploration/explorer.h"

class QAbstractItemView;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QTabWidget;
class QTextEdit;

namespace kestrix {

class IniFile;
class OfflineState;
class TExplorerWebView;

struct TExplorerWindowHooks {
  // A message with an OK button.
  std::function<void(QWidget* parent, const QString& text)> Tell;
  // A Yes/No question; true on Yes.
  std::function<bool(QWidget* parent, const QString& text)> Ask;
  // The job property dialog on `job`; true on Ok.
  std::function<bool(QWidget* parent, TJobRecord& job)> EditJob;
  // The filter dialog; true on Ok. Unset: the real dialog.
  std::function<bool(QWidget* parent, TLinkFilter& filter)> EditFilter;
  // Where to save a page, `suggested` first; empty when cancelled.
  std::function<QString(QWidget* parent, const QString& suggested)> SaveFileName;
  // The find dialog on a grid ("Find in grid") or on the page text ("Find
  // text"). Unset: the command does nothing.
  std::function<void(QWidget* parent, QAbstractItemView& grid)> FindInGrid;
  std::function<void(QWidget* parent, QTextEdit& text)> FindText;
  // The program's "Work Offline" switch, set from the options after each
  // fetch and obeyed by the rendered view; null: the view stays offline.
  OfflineState* Offline = nullptr;
  // The settings file that keeps the window's place; null: not kept.
  IniFile* Settings = nullptr;
};

class TfmTest final : public QWidget {
  Q_OBJECT

 public:
  TfmTest(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver,
          TExplorerWindowHooks hooks, QWidget* parent = nullptr);
  // With a parser and a script resolver of its own (script links are then
  // left unresolved).
  TfmTest(const TGlobalOptions& options, TExplorerWindowHooks hooks, QWidget* parent = nullptr);
  ~TfmTest() override;

  // Clears the window and starts over with job `jobNumber` of its project.
  // False while a fetch runs.
  bool CreateNewThread(const TJobRecord& job, int32_t jobNumber);

  TExplorer& Test() { return *test_; }
  QTableWidget* EnabledGrid() const { return enabledGrid_; }
  QTableWidget* DisabledGrid() const { return disabledGrid_; }
  QPushButton* Button(const QString& name) const;
  QString StatusText() const;
  QString HtmlText() const;
  QString LabelText(const QString& name) const;
  // The "View as :" choice: the page rendered ("Web") or as text ("Html").
  QRadioButton* ViewAsWeb() const { return viewWeb_; }
  QRadioButton* ViewAsHtml() const { return viewHtml_; }
  // The rendered view, made when first shown; null before.
  TExplorerWebView* WebView() const { return web_; }
  QTextEdit* HtmlView() const { return html_; }
  // The grids' pop-up menu, acting on the grid it was last opened on.
  QMenu* GridMenu() const { return gridMenu_; }
  void OpenGridMenu(QTableWidget* grid, const QPoint& at);

  // Commands, as the buttons give them.
  void GetUrl();
  void NextLevel();
  void Back();
  void DeleteAll();
  void ParseHtml();
  void EditJob();
  void EditFilter();
  void SaveHtml();
  void FindText();
  void SetViewAsWeb(bool web);
  // "Copy to clipboard": the selected row's cells, tab-separated.
  void CopyRow();
  void FindInGrid();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Init();
  void Build();
  QWidget* BuildHtmlPage();
  void BuildGridMenu();
  void FetchDone();
  // Shows the current page in the rendered view, when there is one.
  void ShowInWeb();
  // After a step that may have shown a page without fetching it.
  void AfterStep();
  // The current entry's file is on disk and no fetch writes it.
  bool HasSavedFile() const;
  void ReadPlace();
  void WritePlace();
  void ShowEntry();
  void FillGrids();
  // The charset the shown page's texts are in.
  std::string PageCharset() const;
  QPushButton* AddButton(const QString& name, const QString& text, QWidget* parent);

  const TGlobalOptions& options_;
  std::unique_ptr<THTMLParser> ownParser_;
  std::unique_ptr<ScriptResolver> ownResolver_;
  TExplorerWindowHooks hooks_;
  std::unique_ptr<TExplorer> test_;
  QComboBox* urls_ = nullptr;
  QTabWidget* pages_ = nullptr;
  QTableWidget* enabledGrid_ = nullptr;
  QTableWidget* disabledGrid_ = nullptr;
  QLabel* enabledCount_ = nullptr;
  QLabel* disabledCount_ = nullptr;
  QLabel* status_ = nullptr;
  QTextEdit* html_ = nullptr;
  std::string shownHtml_;  // what the text view was last filled with
  QPlainTextEdit* log_ = nullptr;
  QRadioButton* viewHtml_ = nullptr;
  QRadioButton* viewWeb_ = nullptr;
  QStackedWidget* htmlStack_ = nullptr;
  TExplorerWebView* web_ = nullptr;
  QMenu* gridMenu_ = nullptr;
  QTableWidget* menuGrid_ = nullptr;
};

}  // namespace kestrix
