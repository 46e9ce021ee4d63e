// The find dialog on a grid: which row each search selects and what it
// says when nothing is found.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include "tests/ui/window_harness.h"
#include "ui/find_dialog.h"

namespace kestrix::test {
namespace {

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
