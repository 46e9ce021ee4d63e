// The "Queue" page: the queue grid over the queue model, its context menu
// and keys. The view only says what the user asked for; the main window
// turns that into download commands.
#pragma once

#include <QTableView>

class QAction;
class QMenu;

namespace kestrix {

class TQueueModel;

class TQueueView final : public QTableView {
  Q_OBJECT

 public:
  explicit TQueueView(TQueueModel& model, QWidget* parent = nullptr);

  // The selected data row (0-based), or -1.
  int SelectedRow() const;
  void SelectRow(int row);
  // The engine's selection of a row that may not be shown yet.
  void SelectRowWhenShown(int row);
  bool FollowTail() const { return followTail_; }
  void SetFollowTail(bool follow);
  // Enables the menu's items exactly when the queue has entries.
  void SetQueueFilled(bool filled);
  QMenu* ContextMenu() const { return menu_; }

 signals:
  void FollowTailChanged(bool follow);
  void CopyLinkRequested(int row);
  void ReloadRequested(int row);
  void ContinueRequested(int row);
  void ContinueAbortedRequested();
  void ParentRequested(int row);
  void ViewRequested(int row);
  void FindRequested();
  void ExploreRequested(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  QAction* AddItem(const char* caption, const QKeySequence& keys);

  TQueueModel& model_;
  QMenu* menu_;
  int pendingRow_ = -1;
  int menuRow_ = -1;  // the row the menu was last opened on
  bool followTail_ = false;
};

}  // namespace kestrix
