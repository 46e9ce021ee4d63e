#include "ui/queue_model.h"

#include <QColor>
#include <algorithm>

#include "browser/page_charset.h"
#include "core/url_list.h"
#include "ui/artwork.h"

namespace kestrix {
namespace {

constexpr uint8_t kLoaded = 1;
constexpr uint8_t kReported = 2;
constexpr uint8_t kDateChanged = 4;

}  // namespace

TQueueModel::TQueueModel(const UrlList& queue, QObject* parent)
    : QAbstractTableModel(parent), queue_(queue), charsets_(queue) {
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

TRowFacts TQueueModel::Facts(int row) const {
  TRowFacts facts;
  facts.Loaded = row < loaded_;
  if (row < 0 || static_cast<size_t>(row) >= reported_.size()) return facts;
  const TPackedFacts& packed = reported_[static_cast<size_t>(row)];
  if (!(packed.Flags & kReported)) return facts;
  facts.Loaded = packed.Flags & kLoaded;
  facts.Reported = true;
  facts.Phase = packed.Phase;
  facts.Size = packed.Size;
  facts.Progress = packed.Progress;
  facts.DateChanged = packed.Flags & kDateChanged;
  facts.Date = packed.Date;
  facts.ErrorCode = packed.ErrorCode;
  facts.Outcome = packed.Outcome;
  facts.Reason = texts_[packed.Reason];
  facts.Detail = texts_[packed.Detail];
  return facts;
}

uint32_t TQueueModel::TextId(const std::string& text) {
  if (text.empty()) return 0;
  const auto [found, added] = textIds_.try_emplace(text, static_cast<uint32_t>(texts_.size()));
  if (added) texts_.push_back(text);
  return found->second;
}

void TQueueModel::Forget(int fromRow) {
  loaded_ = std::min(loaded_, fromRow);
  if (static_cast<size_t>(fromRow) < reported_.size())
    reported_.resize(static_cast<size_t>(fromRow));
}

void TQueueModel::SetRowsShown(int entries) {
  const int wanted = std::max(1, entries);
  if (wanted < wanted_) {
    // A grid that shrinks loses what its lost rows showed, even when it
    // grows again before the view has seen either change.
    const int keep = std::max(shown_, wanted_);
    Forget(wanted);
    if (wanted < shown_) {
      MarkDirty(wanted);
      MarkDirty(std::min(keep, shown_) - 1);
    }
  }
  wanted_ = wanted;
  if (wanted_ != shown_ && !flushTimer_.isActive()) flushTimer_.start();
}

void TQueueModel::Load(int entries) {
  charsets_.Forget();
  std::vector<TPackedFacts>().swap(reported_);
  texts_.resize(1);
  std::unordered_map<std::string, uint32_t>().swap(textIds_);
  loaded_ = entries;
  SetRowsShown(entries);
  if (shown_ > 0) {
    MarkDirty(0);
    MarkDirty(shown_ - 1);
  }
}

void TQueueModel::ApplyEvent(int index, const TEntryEvent& event) {
  if (index < 0 || index >= wanted_) return;
  TRowFacts facts = Facts(index);
  ApplyEntryEvent(facts, event);
  const auto row = static_cast<size_t>(index);
  if (row >= reported_.size()) {
    // Rows are reported about in queue order, and the queue is ahead of
    // them: room for the queue and a quarter more wastes less than doubling.
    if (row >= reported_.capacity()) {
      const size_t queued = static_cast<size_t>(queue_.Count());
      reported_.reserve(std::max(row + 1, queued + queued / 4));
    }
    reported_.resize(row + 1);
  }
  TPackedFacts& packed = reported_[row];
  packed.Progress = facts.Progress;
  packed.Date = facts.Date;
  packed.ErrorCode = facts.ErrorCode;
  packed.Reason = TextId(facts.Reason);
  packed.Detail = TextId(facts.Detail);
  packed.Phase = facts.Phase;
  packed.Size = facts.Size;
  packed.Outcome = facts.Outcome;
  packed.Flags = static_cast<uint8_t>((facts.Loaded ? kLoaded : 0) | kReported |
                                      (facts.DateChanged ? kDateChanged : 0));
  if (index < shown_) MarkDirty(index);
}

void TQueueModel::Clear() {
  flushTimer_.stop();
  beginResetModel();
  charsets_.Forget();
  std::vector<TPackedFacts>().swap(reported_);
  texts_.resize(1);
  std::unordered_map<std::string, uint32_t>().swap(textIds_);
  loaded_ = 0;
  shown_ = wanted_ = 1;
  dirtyFirst_ = dirtyLast_ = -1;
  endResetModel();
}

void TQueueModel::Flush() {
  flushTimer_.stop();
  if (wanted_ < shown_) {
    beginRemoveRows(QModelIndex(), wanted_, shown_ - 1);
    shown_ = wanted_;
    endRemoveRows();
  } else if (wanted_ > shown_) {
    beginInsertRows(QModelIndex(), shown_, wanted_ - 1);
    shown_ = wanted_;
    endInsertRows();
  }
  dirtyLast_ = std::min(dirtyLast_, shown_ - 1);
  if (dirtyFirst_ >= 0 && dirtyFirst_ <= dirtyLast_) {
    emit dataChanged(index(dirtyFirst_, 0), index(dirtyLast_, kQueueColumns - 1));
  }
  dirtyFirst_ = dirtyLast_ = -1;
  emit Flushed();
}

std::string TQueueModel::CellText(int row, int column) const {
  if (row < 0 || row >= shown_ || row >= queue_.Count() || column < 0 || column >= kQueueColumns) {
    return {};
  }
  return QueueCellText(static_cast<TQueueColumn>(column), queue_.Entry(row), Facts(row));
}

QString TQueueModel::Shown(int row, int column) const {
  // Other cells are the program's own text; a starting URL or a page that
  // names no charset shows as UTF-8 when it is, else one character a byte.
  const bool fromPage = (column == static_cast<int>(TQueueColumn::Url) ||
                         column == static_cast<int>(TQueueColumn::LinkedText)) &&
                        row < queue_.Count();
  return GridText(CellText(row, column), fromPage ? charsets_.Of(row) : std::string());
}

int TQueueModel::QueueCount() const {
  return queue_.Count();
}

QString TQueueModel::Hint(int row, int column) const {
  const QString text = Shown(row, column);
  if (column != static_cast<int>(TQueueColumn::Url) || row >= queue_.Count()) return text;
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
  return parent.isValid() ? 0 : kQueueColumns;
}

QVariant TQueueModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  const int column = index.column();
  if (!index.isValid() || row >= shown_) return {};
  switch (role) {
    case Qt::DisplayRole:
      return Shown(row, column);
    case Qt::ToolTipRole:
      return Hint(row, column);
    case Qt::DecorationRole: {
      if (column != static_cast<int>(TQueueColumn::Url) || row >= queue_.Count()) return {};
      const int kind = std::min(queue_.Entry(row).LinkKind, 12);
      if (kind <= 0) return {};
      return kindIcons_[static_cast<size_t>(kind)];
    }
    case Qt::ForegroundRole:
      if (column == static_cast<int>(TQueueColumn::LinkedText)) return QColor(0, 128, 128);
      if (column == static_cast<int>(TQueueColumn::State) && row < queue_.Count() &&
          queue_.Entry(row).ErrorCode > 0) {
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
  if (section < 0 || section >= kQueueColumns) return {};
  return QString::fromLatin1(QueueColumnTitle(static_cast<TQueueColumn>(section)));
}

}  // namespace kestrix
