// The exploration test window: a job's page at a time, its links in two
// grids (would be followed / would not, with the reason), steps down into
// a link and back up. The window asks and tells through the hooks it is
// given, so that its tests never meet a modal box they cannot close.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "exploration/link_test.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace kestrix {

struct TTestWindowHooks {
  // A message with an OK button.
  std::function<void(QWidget* parent, const QString& text)> Tell;
  // A Yes/No question; true on Yes.
  std::function<bool(QWidget* parent, const QString& text)> Ask;
  // The job property dialog on `job`; true on Ok.
  std::function<bool(QWidget* parent, TJobRecord& job)> EditJob;
  // The filter dialog; true on Ok. Unset: the real dialog.
  std::function<bool(QWidget* parent, TLinkFilter& filter)> EditFilter;
};

class TfmTest final : public QWidget {
  Q_OBJECT

 public:
  TfmTest(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver,
          TTestWindowHooks hooks, QWidget* parent = nullptr);
  // With a parser and a script resolver of its own (script links are then
  // left unresolved).
  TfmTest(const TGlobalOptions& options, TTestWindowHooks hooks, QWidget* parent = nullptr);
  ~TfmTest() override;

  // Clears the window and starts over with job `jobNumber` of its project.
  // False while a fetch runs.
  bool CreateNewThread(const TJobRecord& job, int32_t jobNumber);

  TLinkTest& Test() { return *test_; }
  QTableWidget* EnabledGrid() const { return enabledGrid_; }
  QTableWidget* DisabledGrid() const { return disabledGrid_; }
  QPushButton* Button(const QString& name) const;
  QString StatusText() const;
  QString HtmlText() const;
  QString LabelText(const QString& name) const;

  // Commands, as the buttons give them.
  void GetUrl();
  void NextLevel();
  void Back();
  void DeleteAll();
  void ParseHtml();
  void EditJob();
  void EditFilter();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Init();
  void Build();
  void ShowEntry();
  void FillGrids();
  QPushButton* AddButton(const QString& name, const QString& text, QWidget* parent);

  std::unique_ptr<THTMLParser> ownParser_;
  std::unique_ptr<ScriptResolver> ownResolver_;
  TTestWindowHooks hooks_;
  std::unique_ptr<TLinkTest> test_;
  QComboBox* urls_ = nullptr;
  QTabWidget* pages_ = nullptr;
  QTableWidget* enabledGrid_ = nullptr;
  QTableWidget* disabledGrid_ = nullptr;
  QLabel* enabledCount_ = nullptr;
  QLabel* disabledCount_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* html_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
};

}  // namespace kestrix
