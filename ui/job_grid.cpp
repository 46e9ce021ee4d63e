#include "ui/job_grid.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "core/job_record.h"
#include "ui/template_delegate.h"

namespace kestrix {

TJobGrid::TJobGrid(QWidget* parent) : QTableWidget(parent) {
  setObjectName(QStringLiteral("strGridJobs"));
  setColumnCount(5);
  setHorizontalHeaderLabels({QString(), QStringLiteral("Starting URL"), QStringLiteral("Img"),
                             QStringLiteral("Depth"), QStringLiteral("State")});
  const int widths[5] = {8, 380, 60, 60, 110};
  for (int column = 0; column < 5; ++column) setColumnWidth(column, widths[column]);
  verticalHeader()->setDefaultSectionSize(19);
  // The row header is the grid's fixed column and the handle rows are
  // dragged by, so the empty mark column is not shown.
  verticalHeader()->setSectionsMovable(true);
  setColumnHidden(kMark, true);
  setItemDelegateForColumn(kUrl, new TTemplateDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  setRowCount(1);
  connect(verticalHeader(), &QHeaderView::sectionMoved, this, [this](int, int from, int to) {
    // The header only reports the wish: the rows are written again
    // in the store's new order, so visual and logical rows agree.
    QHeaderView* header = verticalHeader();
    const QSignalBlocker block(header);
    header->moveSection(to, from);
    emit RowMoved(from, to);
  });
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!editing_ || filling_ || item->column() != kUrl) return;
    editing_ = false;
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    emit UrlEdited(item->row(), item->text());
  });
}

QTableWidgetItem* TJobGrid::CellItem(int row, int column) {
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    setItem(row, column, cell);
  }
  return cell;
}

void TJobGrid::ShowJobs(const std::vector<TJobRecord>& jobs) {
  filling_ = true;
  clearContents();
  setRowCount(std::max<int>(1, static_cast<int>(jobs.size())));
  for (int row = 0; row < rowCount(); ++row) BlankRow(row);
  for (size_t i = 0; i < jobs.size(); ++i) WriteRow(static_cast<int>(i), jobs[i]);
  filling_ = false;
  SelectRow(0);
}

void TJobGrid::WriteRow(int row, const TJobRecord& job) {
  const bool wasFilling = filling_;
  filling_ = true;
  QTableWidgetItem* url = CellItem(row, kUrl);
  url->setText(QString::fromStdString(job.editUrl));
  url->setToolTip(url->text());
  url->setFlags(url->flags() | Qt::ItemIsEditable);
  CellItem(row, kImg)->setText(job.checkLoadImg ? QStringLiteral("Yes") : QStringLiteral("No"));
  CellItem(row, kDepth)->setText(QString::number(job.editDepth));
  CellItem(row, kState)->setText(QString());
  filling_ = wasFilling;
}

void TJobGrid::BlankRow(int row) {
  const bool wasFilling = filling_;
  filling_ = true;
  for (int column = 0; column < 5; ++column) {
    CellItem(row, column)->setText(QString());
    CellItem(row, column)->setToolTip(QString());
  }
  filling_ = wasFilling;
}

int TJobGrid::SelectedRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TJobGrid::SelectRow(int row) {
  if (row < 0 || row >= rowCount()) return;
  setCurrentCell(row, kUrl);
}

void TJobGrid::EditSelectedUrl() {
  const int row = SelectedRow();
  if (row < 0 || editing_) return;
  editing_ = true;
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  editItem(CellItem(row, kUrl));
}

QString TJobGrid::StateText(int row) const {
  const QTableWidgetItem* cell = item(row, kState);
  return cell != nullptr ? cell->text() : QString();
}

void TJobGrid::SetStateText(int row, const QString& text) {
  if (row < 0 || row >= rowCount()) return;
  const bool wasFilling = filling_;
  filling_ = true;
  CellItem(row, kState)->setText(text);
  filling_ = wasFilling;
}

QStringList TJobGrid::DroppedUrls(const QMimeData& data) {
  QStringList urls;
  if (data.hasUrls()) {
    for (const QUrl& url : data.urls()) {
      if (url.isValid()) urls << QString::fromLatin1(url.toEncoded());
    }
  } else if (data.hasText()) {
    for (const QString& line : data.text().split(QLatin1Char('\n'))) {
      const QString url = line.trimmed();
      if (!url.isEmpty()) urls << url;
    }
  }
  return urls;
}

void TJobGrid::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TJobGrid::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TJobGrid::dropEvent(QDropEvent* event) {
  const QStringList urls = DroppedUrls(*event->mimeData());
  if (urls.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit UrlsDropped(urls);
}

void TJobGrid::keyPressEvent(QKeyEvent* event) {
  if (editing_) {
    QTableWidget::keyPressEvent(event);
    return;
  }
  const int key = event->key();
  if (key == Qt::Key_Delete || key == Qt::Key_F2 || key == Qt::Key_F8 || key == Qt::Key_F9 ||
      ((key == Qt::Key_N || key == Qt::Key_Insert) && event->modifiers() & Qt::ControlModifier)) {
    emit KeyCommand(key, event->modifiers());
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void TJobGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  const QModelIndex under = indexAt(event->position().toPoint());
  // Only a row that shows a job (its "Img" cell is filled) can be edited.
  const QTableWidgetItem* img = under.isValid() ? item(under.row(), kImg) : nullptr;
  if (under.column() == kUrl && img != nullptr && !img->text().isEmpty()) {
    SelectRow(under.row());
    EditSelectedUrl();
  }
}

void TJobGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableWidget::closeEditor(editor, hint);
  // Reached after the edited text was handed over, and also when the user
  // left the editor with Esc.
  editing_ = false;
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TJobGrid::contextMenuEvent(QContextMenuEvent* event) {
  if (editing_) return;
  const QModelIndex under = indexAt(event->pos());
  if (under.isValid()) SelectRow(under.row());
  emit MenuRequested(event->globalPos());
}

}  // namespace kestrix
