// The rows of the queue grid as a table model. A row is drawn from its
// queue entry, read when it is painted, and from what the engine last
// reported of it, kept as values; the model keeps no text. The engine
// reports several changes per downloaded file and a queue of 100,000
// entries is normal; so changes are taken at once but shown in batches: at
// most one row insertion or removal and one dataChanged per flush, and a
// flush at most every 100 ms.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/queue_texts.h"
#include "ui/link_charsets.h"

namespace kestrix {

class UrlList;

class TQueueModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kFlushMs = 100;

  // `queue` is read for every row's texts, icon, colours and hint; it must
  // outlive the model. Entry i is row i.
  explicit TQueueModel(const UrlList& queue, QObject* parent = nullptr);

  // What the engine reports. A grid always shows at least one row.
  void SetRowsShown(int entries);
  void Load(int entries);
  void ApplyEvent(int index, const TEntryEvent& event);
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
  // What row `row` shows besides its entry.
  TRowFacts Facts(int row) const;
  uint32_t TextId(const std::string& text);
  void Forget(int fromRow);
  // A cell as shown: a link's URL and text in its page's charset.
  QString Shown(int row, int column) const;

  const UrlList& queue_;
  // Rows below `loaded_` show their entries as the history file gave them;
  // `reported_` holds, by row, what the engine reported since. Any other row
  // is blank. A mirror reports on every row, and a queue of 10^6 rows is
  // normal, so the facts are packed, and the reply's reason and the
  // outcome's detail, which repeat across rows ("OK"), are kept once each.
  struct TPackedFacts {
    TTransferProgress Progress;
    double Date = 0;
    int32_t ErrorCode = 0;
    uint32_t Reason = 0;  // index in texts_
    uint32_t Detail = 0;
    TEntryPhase Phase = TEntryPhase::Queued;
    TEntryEvent::TSize Size = TEntryEvent::TSize::Unchanged;
    TFetchOutcome Outcome = TFetchOutcome::Reply;
    uint8_t Flags = 0;  // kLoaded, kReported and kDateChanged of the .cpp
  };
  int loaded_ = 0;
  std::vector<TPackedFacts> reported_;
  std::vector<std::string> texts_{std::string()};
  std::unordered_map<std::string, uint32_t> textIds_;
  int shown_ = 1;  // rows the view knows of
  int wanted_ = 1;
  int dirtyFirst_ = -1;
  int dirtyLast_ = -1;
  QTimer flushTimer_;
  std::array<QPixmap, 13> kindIcons_;
  TLinkCharsets charsets_;
};

}  // namespace kestrix
