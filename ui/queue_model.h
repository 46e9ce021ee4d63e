// The rows of the queue grid as a table model. The engine writes cells one
// at a time, several per downloaded file, and a queue of 100,000 entries
// is normal; so writes are stored at once but shown in batches: at most one
// row insertion or removal and one dataChanged per flush, and a flush at
// most every 100 ms.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <string>
#include <vector>

namespace kestrix {

class UrlList;

class TQueueModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  static constexpr int kFlushMs = 100;

  // `queue` is read for each row's icon, colours and hint; it must outlive
  // the model. Entry i is row i.
  explicit TQueueModel(const UrlList& queue, QObject* parent = nullptr);

  // What the engine reports: `gridRows` counts the header row, as the engine
  // does; a grid always shows at least one data row.
  void SetGridRows(int gridRows);
  void SetCell(int gridRow, int column, const std::string& text);
  void Clear();
  // Shows every pending change now.
  void Flush();

  std::string CellText(int row, int column) const;
  int QueueCount() const;
  // The hint of a cell: the cell text, and for a column-0 cell with an
  // entry its location, depth, file name, parent and post data.
  QString Hint(int row, int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  // After each flush, so the view can apply what waits for rows to exist.
  void Flushed();

 private:
  void MarkDirty(int row);

  const UrlList& queue_;
  std::vector<std::array<std::string, kColumns>> rows_;
  int shown_ = 1;  // rows the view knows of
  int wanted_ = 1;
  int dirtyFirst_ = -1;
  int dirtyLast_ = -1;
  QTimer flushTimer_;
  std::array<QPixmap, 13> kindIcons_;
};

}  // namespace kestrix
