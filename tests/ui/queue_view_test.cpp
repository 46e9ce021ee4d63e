// The queue model and its grid on queues built in memory, and the find
// dialog on a grid.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include "tests/support/event_wait.h"
#include "tests/ui/window_harness.h"
#include "ui/find_dialog.h"
#include "ui/queue_view.h"
#include "ui/summary_view.h"

namespace kestrix::test {
namespace {

TRetriveRec Entry(int kind, int parent, int error, int size) {
  TRetriveRec entry;
  InitRetriveRec(entry);
  entry.LinkKind = kind;
  entry.ParentIndex = parent;
  entry.ErrorCode = error;
  entry.ReceivedSize = size;
  entry.LocalFileName = "f.html";
  return entry;
}

TEST(QueueModel, RowsShrinkAndGrowWithoutStaleTexts) {
  UrlList queue;
  for (int i = 0; i < 3; ++i) {
    TRetriveRec entry = Entry(1, 0, 0, 0);
    entry.Job.editUrl = "http://a.test/" + std::to_string(i);
    queue.Append(entry.Job.editUrl, entry);
  }
  TQueueModel model(queue);
  TEntryEvent connecting;
  connecting.Phase = TEntryPhase::Connecting;
  model.SetRowsShown(3);
  model.ApplyEvent(2, connecting);
  model.Flush();
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.CellText(2, 4), "Connecting ...");
  model.SetRowsShown(1);  // the engine re-walks the queue from the start
  model.SetRowsShown(3);
  model.Flush();
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.CellText(2, 0), "");
  EXPECT_EQ(model.CellText(2, 4), "");
  model.ApplyEvent(9, connecting);  // beyond the grid
  model.ApplyEvent(-1, connecting);
  model.Flush();
  EXPECT_EQ(model.rowCount(), 3);
}

// A link's URL and text are shown in the charset of the page they came
// from, also once the job converted that page from KOI8-R (the decoding
// itself, fallbacks included, is GridText's table).
TEST(QueueModel, LinkTextsShowInTheirPagesCharset) {
  TScratchDir dir;
  const std::string koi8 = "\xe4\xc1\xcc\xd8\xdb\xc5", cp1251 = "\xc4\xe0\xeb\xfc\xf8\xe5";
  const QString word = QStringLiteral("\u0414\u0430\u043b\u044c\u0448\u0435");
  const struct {
    std::string head;
    bool converted;
    std::string text;
    QString shown;
  } cases[] = {
      {"<meta charset=koi8-r>", false, koi8, word},
      {"<meta charset=koi8-r>", true, cp1251, word},
  };
  UrlList queue;
  TQueueModel model(queue);
  for (const auto& c : cases) {
    TRetriveRec page = Entry(0, -1, 0, 0);
    page.IsHtml = 1;
    page.LocalFolder = dir.Path();
    page.LocalFileName = std::to_string(queue.Count()) + ".html";
    TJobRecord job;
    job.lclcheckKoi8 = c.converted;
    page.Job = job;
    dir.WriteFile(page.LocalFileName, c.head);
    const int32_t parent = queue.Append("http://a.test/" + page.LocalFileName, page);
    TRetriveRec link = Entry(1, parent, 0, 0);
    link.Job.editUrl = "http://a.test/" + c.text;
    link.LinkedText = c.text;
    queue.Append(link.Job.editUrl, link);
  }
  model.Load(queue.Count());
  model.Flush();
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    SCOPED_TRACE(i);
    const int row = 2 * i + 1;
    EXPECT_EQ(model.data(model.index(row, 1), Qt::DisplayRole).toString(), cases[i].shown);
    EXPECT_EQ(model.data(model.index(row, 0), Qt::DisplayRole).toString(),
              QStringLiteral("http://a.test/") + cases[i].shown);
  }
}

// The menu acts on the row it was opened on, even when the selection has
// moved since; a grid hidden under another page shows no hints.
TEST(QueueView, TheMenuActsOnItsRowAndAHiddenGridGivesNoHints) {
  UrlList queue;
  for (int i = 0; i < 3; ++i)
    queue.Append("http://a.test/" + std::to_string(i), Entry(1, -1, 0, 1));
  TQueueModel model(queue);
  model.Load(3);
  model.Flush();
  TQueueView view(model);
  view.resize(600, 300);
  view.show();
  const QPoint second = view.visualRect(model.index(1, 0)).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, second, view.viewport()->mapToGlobal(second));
  QCoreApplication::sendEvent(view.viewport(), &menu);
  view.ContextMenu()->close();
  view.SelectRow(2);
  std::vector<int> reloaded;
  QObject::connect(&view, &TQueueView::ReloadRequested, [&](int row) { reloaded.push_back(row); });
  for (QAction* action : view.ContextMenu()->actions()) {
    if (action->text() == QStringLiteral("Reload")) action->trigger();
  }
  EXPECT_EQ(reloaded, std::vector<int>{1});

  const auto tip = [&view, second] {
    QHelpEvent help(QEvent::ToolTip, second, view.viewport()->mapToGlobal(second));
    QCoreApplication::sendEvent(view.viewport(), &help);
    return QToolTip::isVisible();
  };
  view.hide();
  EXPECT_FALSE(tip());
  view.show();
  EXPECT_TRUE(tip());
}

struct TFindCase {
  const char* text;
  bool matchCase;
  int selectedBefore;
  bool fromStart;
  int selectedAfter;
  bool told;  // "not found" was said
};

TEST(FindDialog, SearchesTheChosenColumnRowByRowAndEnterStartsOver) {
  QStandardItemModel model(0, 2);
  model.setHorizontalHeaderLabels({QStringLiteral("URL"), QStringLiteral("State")});
  for (const char* url :
       {"http://a.test/INDEX.HTML", "http://a.test/b.gif", "http://a.test/c.html"}) {
    model.appendRow({new QStandardItem(QString::fromLatin1(url)), new QStandardItem()});
  }
  QTableView grid;
  grid.setModel(&model);
  const TFindCase cases[] = {
      {"html", false, 1, true, 0, false},   // any case, from the first row
      {"html", true, 1, true, 2, false},    // Match Case skips the upper-case URL
      {"html", false, 0, false, 2, false},  // next after the selected row
      {"html", false, 2, false, 2, true},   // next on the last row: not found, kept
      {"abc", false, 1, true, 1, true},
  };
  for (const TFindCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.selectedBefore));
    TFakePrompts prompts;
    TfmFind dialog(grid, prompts);
    EXPECT_EQ(dialog.Fields()->count(), 2);
    grid.setCurrentIndex(model.index(c.selectedBefore, 0));
    dialog.FindText()->setText(QString::fromLatin1(c.text));
    dialog.MatchCase()->setChecked(c.matchCase);
    EXPECT_EQ(dialog.Search(c.fromStart), !c.told);
    EXPECT_EQ(grid.currentIndex().row(), c.selectedAfter);
    EXPECT_EQ(prompts.Texts.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_EQ(prompts.Texts[0], "'" + std::string(c.text) + "'  not found !");
    }
  }

  // Enter restarts from the first row; the buttons follow the text.
  TFakePrompts prompts;
  TfmFind dialog(grid, prompts);
  EXPECT_FALSE(dialog.FindButton()->isEnabled());
  grid.setCurrentIndex(model.index(2, 0));
  QTest::keyClicks(dialog.FindText(), QStringLiteral("a.test"));
  EXPECT_TRUE(dialog.NextButton()->isEnabled());
  QTest::keyClick(dialog.FindText(), Qt::Key_Return);
  EXPECT_EQ(grid.currentIndex().row(), 0);

  // A grid without rows leaves the column list as it was.
  QStandardItemModel empty(0, 3);
  QTableView bare;
  bare.setModel(&empty);
  TfmFind none(bare, prompts);
  EXPECT_EQ(none.Fields()->count(), 0);
  QTest::keyClicks(none.FindText(), QStringLiteral("x"));
  EXPECT_FALSE(none.FindButton()->isEnabled());
}

}  // namespace
}  // namespace kestrix::test
