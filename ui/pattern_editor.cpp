#include "ui/pattern_editor.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kPatternColumn = 0;
constexpr int kMaskColumn = 1;

}  // namespace

TfmEditPatterns::TfmEditPatterns(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Patterns editor"));
  resize(360, 300);

  StrGrdPattern = new QTableWidget(1, 2, this);
  StrGrdPattern->setObjectName(QStringLiteral("StrGrdPattern"));
  StrGrdPattern->setHorizontalHeaderLabels(
      {QStringLiteral("Pattern"), QStringLiteral("Stored file mask")});
  // The narrow fixed column: a row handle to drag rows by.
  QHeaderView* rows = StrGrdPattern->verticalHeader();
  rows->setSectionsMovable(true);
  rows->setDefaultSectionSize(18);
  rows->setMinimumSectionSize(6);
  rows->setFixedWidth(6);
  StrGrdPattern->setSelectionMode(QAbstractItemView::ContiguousSelection);
  // Not on a cell becoming current: the first cell would be in edit as the
  // editor opens, and Esc would have to be pressed twice to leave.
  StrGrdPattern->setEditTriggers(
      QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
      QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  StrGrdPattern->setTabKeyNavigation(true);
  StrGrdPattern->setColumnWidth(kPatternColumn, 224);
  // "Stored file mask" reads whole; the grid's last column takes the rest.
  QHeaderView* header = StrGrdPattern->horizontalHeader();
  StrGrdPattern->setColumnWidth(kMaskColumn, std::max(101, header->sectionSizeHint(kMaskColumn)));
  header->setStretchLastSection(true);
  resize(std::max(width(), 6 + 224 + StrGrdPattern->columnWidth(kMaskColumn) + 40), height());

  btnNewRow = new QToolButton(this);
  btnNewRow->setObjectName(QStringLiteral("btnNewRow"));
  btnNewRow->setText(QStringLiteral("+"));
  btnNewRow->setToolTip(QStringLiteral("New row"));
  btnDelRow = new QToolButton(this);
  btnDelRow->setObjectName(QStringLiteral("btnDelRow"));
  btnDelRow->setText(QStringLiteral("-"));
  btnDelRow->setToolTip(QStringLiteral("Delete row"));
  lblcnt = new QLabel(QStringLiteral("0"), this);
  lblcnt->setObjectName(QStringLiteral("lblcnt"));
  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnNewRow);
  buttons->addWidget(btnDelRow);
  buttons->addWidget(lblcnt);
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(StrGrdPattern);
  layout->addLayout(buttons);

  connect(btnNewRow, &QToolButton::clicked, this, [this] { NewRow(); });
  connect(btnDelRow, &QToolButton::clicked, this, [this] { DeleteRow(); });
  connect(btnOk, &QPushButton::clicked, this, [this] { BuildText(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmEditPatterns::showEvent(QShowEvent* event) {
  FillGrid();
  QDialog::showEvent(event);
}

QString TfmEditPatterns::Cell(int row, int column) const {
  const QTableWidgetItem* item = StrGrdPattern->item(row, column);
  return item != nullptr ? item->text() : QString();
}

void TfmEditPatterns::SetCell(int row, int column, const QString& text) {
  StrGrdPattern->setItem(row, column, new QTableWidgetItem(text));
}

void TfmEditPatterns::PutEntry(int row, const QString& entry) {
  const qsizetype bar = entry.indexOf(u'|');
  SetCell(row, kPatternColumn, bar < 0 ? entry : entry.left(bar));
  SetCell(row, kMaskColumn, bar < 0 ? QString() : entry.mid(bar + 1));
}

void TfmEditPatterns::FillGrid() {
  // The mask column stays in the table when hidden, so that its values are
  // written back with their patterns.
  StrGrdPattern->setColumnHidden(kMaskColumn, !ShowMask);
  if (!ShowMask) StrGrdPattern->setColumnWidth(kPatternColumn, qMax(60, width() - 35));
  StrGrdPattern->setRowCount(1);
  SetCell(0, kPatternColumn, QString());
  SetCell(0, kMaskColumn, QString());
  lblcnt->setText(QStringLiteral("0"));
  QString rest = QString::fromStdString(PatternText);
  if (rest.isEmpty()) return;
  if (!rest.contains(u';')) {
    PutEntry(0, rest);
  } else {
    // Every entry ended by ";" gets its row, and an empty row follows them,
    // ready for typing a new pattern.
    int row = 0;
    for (qsizetype end = rest.indexOf(u';'); end >= 0; end = rest.indexOf(u';')) {
      PutEntry(row, rest.left(end));
      ++row;
      StrGrdPattern->setRowCount(row + 1);
      SetCell(row, kPatternColumn, QString());
      SetCell(row, kMaskColumn, QString());
      rest.remove(0, end + 1);
    }
    if (!rest.isEmpty()) {
      PutEntry(row, rest);
      StrGrdPattern->setRowCount(row + 2);
      SetCell(row + 1, kPatternColumn, QString());
      SetCell(row + 1, kMaskColumn, QString());
    }
  }
  lblcnt->setText(QString::number(StrGrdPattern->rowCount()));
}

void TfmEditPatterns::NewRow() {
  const int row = StrGrdPattern->rowCount();
  StrGrdPattern->insertRow(row);
  SetCell(row, kPatternColumn, QString());
  SetCell(row, kMaskColumn, QString());
  lblcnt->setText(QString::number(StrGrdPattern->rowCount()));
}

void TfmEditPatterns::DeleteRow() {
  const int row = StrGrdPattern->currentRow();
  if (row < 0) return;
  SetCell(row, kPatternColumn, QString());
  SetCell(row, kMaskColumn, QString());
  // The table always keeps one row to type into.
  if (StrGrdPattern->rowCount() < 2) {
    lblcnt->setText(QStringLiteral("0"));
    return;
  }
  const int column = qMax(0, StrGrdPattern->currentColumn());
  StrGrdPattern->removeRow(row);
  if (row < StrGrdPattern->rowCount()) StrGrdPattern->setCurrentCell(row, column);
  lblcnt->setText(QString::number(StrGrdPattern->rowCount()));
}

void TfmEditPatterns::BuildText() {
  QString text;
  // Rows in the order the user sees them, after any dragging.
  const QHeaderView* rows = StrGrdPattern->verticalHeader();
  for (int visual = 0; visual < StrGrdPattern->rowCount(); ++visual) {
    const int row = rows->logicalIndex(visual);
    const QString pattern = Cell(row, kPatternColumn);
    if (pattern.isEmpty()) continue;  // a mask without its pattern goes too
    text += pattern;
    const QString mask = Cell(row, kMaskColumn);
    if (!mask.isEmpty()) text += u'|' + mask;
    text += u';';
  }
  PatternText = text.toStdString();
  accept();
}

}  // namespace kestrix
