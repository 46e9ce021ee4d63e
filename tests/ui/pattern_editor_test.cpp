#include "ui/pattern_editor.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <tuple>

namespace kestrix {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows Shown(const TfmEditPatterns& editor) {
  Rows rows;
  const QTableWidget& grid = *editor.StrGrdPattern;
  for (int row = 0; row < grid.rowCount(); ++row) {
    const auto text = [&grid, row](int column) {
      return grid.item(row, column) ? grid.item(row, column)->text().toStdString() : std::string();
    };
    rows.emplace_back(text(0), text(1));
  }
  return rows;
}

void Open(TfmEditPatterns& editor, const std::string& text, bool showMask) {
  editor.PatternText = text;
  editor.ShowMask = showMask;
  editor.hide();  // the table is filled each time the editor shows
  editor.show();
}

std::string PressOk(TfmEditPatterns& editor) {
  editor.btnOk->click();
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  return editor.PatternText;
}

TEST(PatternEditor, ShowsOneEntryPerRowAndGivesTheListBack) {
  const std::string e;
  const struct {
    std::string text;
    Rows rows;
    std::string count;
    std::string back;
  } cases[] = {
      {"a;b|m;", {{"a", e}, {"b", "m"}, {e, e}}, "3", "a;b|m;"},
      {"x", {{"x", e}}, "1", "x;"},
      {"a;b", {{"a", e}, {"b", e}, {e, e}}, "3", "a;b;"},
      {"", {{e, e}}, "0", ""},
      {"p|m1|m2;", {{"p", "m1|m2"}, {e, e}}, "2", "p|m1|m2;"},
      {"|lost;;a|;", {{e, "lost"}, {e, e}, {"a", e}, {e, e}}, "4", "a;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TfmEditPatterns editor;
    Open(editor, c.text, true);
    EXPECT_EQ(Shown(editor), c.rows);
    EXPECT_EQ(editor.lblcnt->text().toStdString(), c.count);
    EXPECT_EQ(PressOk(editor), c.back);
  }
  // A hidden mask stays with its pattern; a mask whose pattern was emptied goes.
  for (const auto& [text, showMask, edited, back] :
       {std::tuple{"a|img/*;b;", false, "c", "a|img/*;c;"},
        std::tuple{"b|n;a|m;", true, "", "b|n;"}}) {
    TfmEditPatterns editor;
    Open(editor, text, showMask);
    EXPECT_EQ(editor.StrGrdPattern->isColumnHidden(1), !showMask);
    editor.StrGrdPattern->item(1, 0)->setText(QString::fromLatin1(edited));
    EXPECT_EQ(PressOk(editor), back);
  }
}

TEST(PatternEditor, RowsAreAddedDeletedAndMoved) {
  TfmEditPatterns editor;
  Open(editor, "x", true);
  editor.StrGrdPattern->setCurrentCell(0, 0);
  editor.btnDelRow->click();
  EXPECT_EQ(Shown(editor), (Rows{{"", ""}}));
  EXPECT_EQ(editor.lblcnt->text(), QStringLiteral("0"));

  Open(editor, "a;b;c;", true);
  editor.StrGrdPattern->setCurrentCell(1, 0);
  editor.btnDelRow->click();
  EXPECT_EQ(editor.lblcnt->text(), QStringLiteral("3"));
  EXPECT_EQ(editor.StrGrdPattern->currentRow(), 1);
  editor.btnNewRow->click();
  EXPECT_EQ(editor.lblcnt->text(), QStringLiteral("4"));
  editor.StrGrdPattern->item(3, 0)->setText(QStringLiteral("d"));
  // Rows dragged by their handle come back in the order shown.
  editor.StrGrdPattern->verticalHeader()->moveSection(0, 1);
  EXPECT_EQ(PressOk(editor), "c;a;d;");
}

// The editor opens with no cell in edit, so one Esc closes it; its mask
// header reads whole.
TEST(PatternEditor, OneEscCancelsAndKeepsTheText) {
  TfmEditPatterns editor;
  Open(editor, "a;", true);
  editor.StrGrdPattern->item(0, 0)->setText(QStringLiteral("b"));
  editor.activateWindow();
  editor.StrGrdPattern->setFocus();
  QTest::qWait(20);
  EXPECT_EQ(editor.StrGrdPattern->viewport()->findChild<QLineEdit*>(), nullptr);  // no cell in edit
  QHeaderView* header = editor.StrGrdPattern->horizontalHeader();
  EXPECT_GE(header->sectionSize(1), header->sectionSizeHint(1));
  QTest::keyClick(editor.StrGrdPattern, Qt::Key_Escape);
  EXPECT_EQ(editor.result(), QDialog::Rejected);
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.PatternText, "a;");
}

}  // namespace
}  // namespace kestrix
