#include "ui/queue_model.h"

#include <QColor>
#include <algorithm>

#include "core/url_list.h"
#include "ui/artwork.h"

namespace kestrix {
namespace {

// Page texts are bytes in the page's own character set, which the grid does
// not know: UTF-8 when they are valid UTF-8, else one character per byte, so
// that nothing shows as replacement marks.
QString DisplayText(const std::string& bytes) {
  QString text = QString::fromUtf8(bytes);
  if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(bytes);
  return text;
}

}  // namespace

TQueueModel::TQueueModel(const UrlList& queue, QObject* parent)
    : QAbstractTableModel(parent), queue_(queue), rows_(1) {
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushMs);
  connect(&flushTimer_, &QTimer::timeout, this, &TQueueModel::Flush);
  for (int kind = 1; kind < static_cast<int>(kindIcons_.size()); ++kind) {
    kindIcons_[static_cast<size_t>(kind)] = LinkKindPixmap(kind);
  }
}

void TQueueModel::MarkDirty(int row) {
  dirtyFirst_ = dirtyFirst_ < 0 ? row : std::min(dirtyFirst_, row);
  dirtyLast_ = std::max(dirtyLast_, row);
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void TQueueModel::SetGridRows(int gridRows) {
  const int wanted = std::max(1, gridRows - 1);
  if (wanted < wanted_) {
    // A grid that shrinks loses the texts of its lost rows, even when it
    // grows again before the view has seen either change.
    const int keep = std::max(shown_, wanted_);
    for (int row = wanted; row < keep && row < static_cast<int>(rows_.size()); ++row) {
      rows_[static_cast<size_t>(row)] = {};
    }
    if (wanted < shown_) {
      MarkDirty(wanted);
      MarkDirty(std::min(keep, shown_) - 1);
    }
  }
  wanted_ = wanted;
  if (static_cast<int>(rows_.size()) < wanted_) rows_.resize(static_cast<size_t>(wanted_));
  if (wanted_ != shown_ && !flushTimer_.isActive()) flushTimer_.start();
}

void TQueueModel::SetCell(int gridRow, int column, const std::string& text) {
  const int row = gridRow - 1;
  if (row < 0 || row >= wanted_ || column < 0 || column >= kColumns) return;
  std::string& cell = rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
  if (cell == text) return;
  cell = text;
  if (row < shown_) MarkDirty(row);
}

void TQueueModel::Clear() {
  flushTimer_.stop();
  beginResetModel();
  rows_.assign(1, {});
  shown_ = wanted_ = 1;
  dirtyFirst_ = dirtyLast_ = -1;
  endResetModel();
}

void TQueueModel::Flush() {
  flushTimer_.stop();
  if (wanted_ < shown_) {
    beginRemoveRows(QModelIndex(), wanted_, shown_ - 1);
    shown_ = wanted_;
    rows_.resize(static_cast<size_t>(wanted_));
    endRemoveRows();
  } else if (wanted_ > shown_) {
    beginInsertRows(QModelIndex(), shown_, wanted_ - 1);
    shown_ = wanted_;
    endInsertRows();
  }
  dirtyLast_ = std::min(dirtyLast_, shown_ - 1);
  if (dirtyFirst_ >= 0 && dirtyFirst_ <= dirtyLast_) {
    emit dataChanged(index(dirtyFirst_, 0), index(dirtyLast_, kColumns - 1));
  }
  dirtyFirst_ = dirtyLast_ = -1;
  emit Flushed();
}

std::string TQueueModel::CellText(int row, int column) const {
  if (row < 0 || row >= shown_ || column < 0 || column >= kColumns) return {};
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

int TQueueModel::QueueCount() const {
  return queue_.Count();
}

QString TQueueModel::Hint(int row, int column) const {
  const QString text = DisplayText(CellText(row, column));
  if (column != 0 || row >= queue_.Count()) return text;
  const TRetriveRec& entry = queue_.Entry(row);
  QString parent = QStringLiteral("no parent");
  if (entry.ParentIndex >= 0 && entry.ParentIndex < queue_.Count()) {
    parent = QString::fromStdString(std::string(queue_.Url(entry.ParentIndex)));
  }
  QString hint = QStringLiteral("LOCATION  : ") + text + QStringLiteral("\nDEPTH        : ") +
                 QString::number(entry.Depth + 1) + QStringLiteral("\nFILE NAME  : ") +
                 QString::fromStdString(entry.LocalFileName) + QStringLiteral("\nPARENT URL : ") +
                 parent;
  if (!entry.PostData.empty()) {
    hint += QStringLiteral("\nPOST DATA : ") + QString::fromStdString(entry.PostData);
  }
  return hint;
}

int TQueueModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

int TQueueModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant TQueueModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  const int column = index.column();
  if (!index.isValid() || row >= shown_) return {};
  switch (role) {
    case Qt::DisplayRole:
      return DisplayText(rows_[static_cast<size_t>(row)][static_cast<size_t>(column)]);
    case Qt::ToolTipRole:
      return Hint(row, column);
    case Qt::DecorationRole: {
      if (column != 0 || row >= queue_.Count()) return {};
      const int kind = std::min(queue_.Entry(row).LinkKind, 12);
      if (kind <= 0) return {};
      return kindIcons_[static_cast<size_t>(kind)];
    }
    case Qt::ForegroundRole:
      if (column == 1) return QColor(0, 128, 128);
      if (column == 4 && row < queue_.Count() && queue_.Entry(row).ErrorCode > 0) {
        return QColor(Qt::red);
      }
      return {};
    default:
      return {};
  }
}

QVariant TQueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* const kHeaders[kColumns] = {"URL", "Linked Text", "Size", "Date", "State"};
  if (section < 0 || section >= kColumns) return {};
  return QString::fromLatin1(kHeaders[section]);
}

}  // namespace kestrix
