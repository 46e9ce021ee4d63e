// The queue model and the summary page on queues built in memory or read
// from a history file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include "tests/support/event_wait.h"
#include "tests/ui/window_harness.h"
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

TEST(QueueModel, HintsNameDepthFileParentAndPostData) {
  UrlList queue;
  TRetriveRec start = Entry(0, -1, 0, 0);
  start.Job.editUrl = "http://a.test/";
  queue.Append(start.Job.editUrl, start);
  TRetriveRec form = Entry(5, 0, 0, 0);
  form.Depth = 1;
  form.PostData = "q=1";
  form.Job.editUrl = "http://a.test/f";
  queue.Append(form.Job.editUrl, form);
  TQueueModel model(queue);
  model.Load(2);
  model.Flush();
  EXPECT_EQ(model.Hint(0, 0).toStdString(),
            "LOCATION  : http://a.test/\nDEPTH        : 1\nFILE NAME  : f.html\n"
            "PARENT URL : no parent");
  EXPECT_EQ(model.Hint(1, 0).toStdString(),
            "LOCATION  : http://a.test/f\nDEPTH        : 2\nFILE NAME  : f.html\n"
            "PARENT URL : http://a.test/\nPOST DATA : q=1");
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

TEST(QueueView, EndFollowsTheTailAndAClickStopsIt) {
  UrlList queue;
  TQueueModel model(queue);
  TQueueView view(model);
  view.show();
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_TRUE(view.FollowTail());
  QTest::mouseClick(view.viewport(), Qt::LeftButton);
  EXPECT_FALSE(view.FollowTail());
  QTest::keyClick(&view, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_TRUE(view.FollowTail());
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_FALSE(view.FollowTail());

  // The engine's selection of a row not shown yet waits for the flush.
  model.SetRowsShown(5);
  view.SelectRowWhenShown(4);
  EXPECT_NE(view.SelectedRow(), 4);
  model.Flush();
  EXPECT_EQ(view.SelectedRow(), 4);

  // On an empty queue the menu offers nothing.
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
  QCoreApplication::sendEvent(view.viewport(), &menu);
  for (const QAction* action : view.ContextMenu()->actions()) EXPECT_FALSE(action->isEnabled());
  view.ContextMenu()->close();
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

// Whatever font the desktop gives, no date or row name is cut short at the
// default widths.
TEST(QueueView, DefaultWidthsShowWholeTexts) {
  const QFont before = QApplication::font();
  QFont large = before;
  large.setPointSize(before.pointSize() * 2);
  QApplication::setFont(large);
  UrlList queue;
  TQueueModel model(queue);
  TQueueView view(model);
  EXPECT_GE(view.columnWidth(3),
            view.fontMetrics().horizontalAdvance(QStringLiteral("2026-12-07 23:59:59 GMT")));
  const TEngineState empty;
  TSummaryView summary(empty);
  QAbstractItemView* stat = summary.findChild<QTableWidget*>(QStringLiteral("grdStat"));
  EXPECT_GE(static_cast<QTableView*>(stat)->columnWidth(0), stat->sizeHintForColumn(0));
  QApplication::setFont(before);
}

// The counting is the engine's (queue_summary_test); the page puts its
// figures into the grids when "Update" is clicked.
TEST(SummaryView, UpdateFillsTheGrids) {
  TEngineState state;
  for (auto [url, entry] : {std::pair{"http://a.test/", Entry(0, -1, 0, 100)},
                            std::pair{"http://a.test/b.gif", Entry(2, 0, 0, 50)},
                            std::pair{"http://b.test/x", Entry(1, 0, 10061, 0)}}) {
    entry.Job.editUrl = url;
    state.Queue.Append(url, entry);
  }
  TSummaryView view(state);
  view.UpdateButton()->click();
  const auto text = [](QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text().toStdString() : std::string();
  };
  ASSERT_EQ(view.HostsGrid()->rowCount(), 2);
  EXPECT_EQ(text(view.HostsGrid(), 1, 0) + " " + text(view.HostsGrid(), 1, 1), "b.test 1");
  EXPECT_EQ(view.HostsCounter().toStdString(), "2");
  EXPECT_EQ(text(view.StatGrid(), 0, 1), "2");  // Html
  EXPECT_EQ(text(view.StatGrid(), 8, 1), "3");  // Total
  EXPECT_EQ(text(view.StatGrid(), 8, 3), "1");
  EXPECT_EQ(view.ErrorsGrid()->rowCount(), 1);
}

}  // namespace
}  // namespace kestrix::test
