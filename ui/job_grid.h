// The "Jobs" page's grid: one row per job of the selected project, row r
// showing job r (1-based) below the header. It takes URLs dropped from other
// programs (text/uri-list or plain text, one URL a line), lets the user drag
// rows into a new order and edit a starting URL in place; what each of these
// means for the store is the main window's business.
#pragma once

#include <QStringList>
#include <QTableWidget>
#include <vector>

class QMimeData;

namespace kestrix {

struct TJobRecord;

class TJobGrid final : public QTableWidget {
  Q_OBJECT

 public:
  enum Column { kMark = 0, kUrl = 1, kImg = 2, kDepth = 3, kState = 4 };

  explicit TJobGrid(QWidget* parent = nullptr);

  // One data row per job; an empty list shows one empty row.
  void ShowJobs(const std::vector<TJobRecord>& jobs);
  void WriteRow(int row, const TJobRecord& job);
  void BlankRow(int row);
  // The selected data row (0-based), or -1.
  int SelectedRow() const;
  void SelectRow(int row);
  bool Editing() const { return editing_; }
  // Starts editing the starting URL of the selected row in place.
  void EditSelectedUrl();

  QString StateText(int row) const;
  void SetStateText(int row, const QString& text);

  // The URLs a drop carries: the uri-list when there is one, else each
  // non-blank line of the plain text.
  static QStringList DroppedUrls(const QMimeData& data);

 signals:
  void UrlsDropped(const QStringList& urls);
  // The user dragged row `from` to position `to` (0-based).
  void RowMoved(int from, int to);
  void UrlEdited(int row, const QString& url);
  void KeyCommand(int key, Qt::KeyboardModifiers modifiers);
  void MenuRequested(const QPoint& globalPos);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  QTableWidgetItem* CellItem(int row, int column);

  bool editing_ = false;
  bool filling_ = false;
};

}  // namespace kestrix
