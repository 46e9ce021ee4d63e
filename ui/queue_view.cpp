#include "ui/queue_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

#include "ui/queue_model.h"

namespace kestrix {

TQueueView::TQueueView(TQueueModel& model, QWidget* parent)
    : QTableView(parent), model_(model), menu_(new QMenu(this)) {
  setModel(&model_);
  setObjectName(QStringLiteral("strGridQueue"));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setShowGrid(true);
  // Fixed row heights keep a view of 100,000 rows from measuring each one.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(19);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  // The date column fits the whole "YYYY-MM-DD HH:MM:SS GMT".
  const int widths[kQueueColumns] = {328, 233, 70, 165, 118};
  for (int column = 0; column < kQueueColumns; ++column) {
    setColumnWidth(column, widths[column]);
  }
  // In whatever font the desktop gives.
  setColumnWidth(
      3, std::max(widths[3],
                  fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88 88:88:88 GMT")) + 12));
  connect(&model_, &TQueueModel::Flushed, this, [this] {
    if (pendingRow_ >= 0 && pendingRow_ < model_.rowCount()) SelectRow(pendingRow_);
    pendingRow_ = -1;
  });

  // The menu's items act on the row it was opened on: the selection may
  // have moved since (an engine that follows the tail).
  auto row = [this] { return menuRow_; };
  connect(AddItem("Copy Link Location", QKeySequence(Qt::CTRL | Qt::Key_C)), &QAction::triggered,
          this, [this, row] { emit CopyLinkRequested(row()); });
  menu_->addSeparator();
  connect(AddItem("Reload", QKeySequence(Qt::CTRL | Qt::Key_R)), &QAction::triggered, this,
          [this, row] { emit ReloadRequested(row()); });
  connect(AddItem("Continue from this link", QKeySequence(Qt::CTRL | Qt::Key_L)),
          &QAction::triggered, this, [this, row] { emit ContinueRequested(row()); });
  connect(AddItem("Continue aborted", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L)),
          &QAction::triggered, this, [this] { emit ContinueAbortedRequested(); });
  menu_->addSeparator();
  connect(AddItem("Go to parent URL", QKeySequence(Qt::CTRL | Qt::Key_P)), &QAction::triggered,
          this, [this, row] { emit ParentRequested(row()); });
  menu_->addSeparator();
  connect(AddItem("View", QKeySequence(Qt::Key_F3)), &QAction::triggered, this,
          [this, row] { emit ViewRequested(row()); });
  menu_->addSeparator();
  connect(AddItem("Find", QKeySequence(Qt::CTRL | Qt::Key_F)), &QAction::triggered, this,
          [this] { emit FindRequested(); });
  connect(AddItem("Links exploration test", QKeySequence(Qt::CTRL | Qt::Key_E)),
          &QAction::triggered, this, [this, row] { emit ExploreRequested(row()); });
  SetQueueFilled(false);
}

QAction* TQueueView::AddItem(const char* caption, const QKeySequence& keys) {
  QAction* action = menu_->addAction(QString::fromLatin1(caption));
  action->setShortcut(keys);
  // The grid's own key handler acts on the keys; the menu only shows them.
  action->setShortcutContext(Qt::WidgetShortcut);
  return action;
}

int TQueueView::SelectedRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TQueueView::SelectRow(int row) {
  if (row < 0 || row >= model_.rowCount()) return;
  selectRow(row);
  setCurrentIndex(model_.index(row, 0));
}

void TQueueView::SelectRowWhenShown(int row) {
  if (row < model_.rowCount()) {
    SelectRow(row);
  } else {
    pendingRow_ = row;
  }
}

void TQueueView::SetFollowTail(bool follow) {
  if (followTail_ == follow) return;
  followTail_ = follow;
  emit FollowTailChanged(follow);
}

void TQueueView::SetQueueFilled(bool filled) {
  for (QAction* action : menu_->actions()) action->setEnabled(filled);
}

void TQueueView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
  const bool ctrl = mods == Qt::ControlModifier;
  const int key = event->key();
  const int row = SelectedRow();
  if (ctrl && key == Qt::Key_C) return emit CopyLinkRequested(row);
  if (ctrl && key == Qt::Key_R) return emit ReloadRequested(row);
  if (ctrl && key == Qt::Key_L) return emit ContinueRequested(row);
  if (ctrl && key == Qt::Key_F) return emit FindRequested();
  if (ctrl && key == Qt::Key_P) return emit ParentRequested(row);
  if (ctrl && key == Qt::Key_E) return emit ExploreRequested(row);
  if (mods == (Qt::ControlModifier | Qt::AltModifier) && key == Qt::Key_L) {
    return emit ContinueAbortedRequested();
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F3) {
    return emit ViewRequested(row);
  }
  if (key == Qt::Key_End || (ctrl && key == Qt::Key_PageDown)) SetFollowTail(true);
  if (key == Qt::Key_Home || key == Qt::Key_PageUp || key == Qt::Key_Up) SetFollowTail(false);
  QTableView::keyPressEvent(event);
}

void TQueueView::mousePressEvent(QMouseEvent* event) {
  SetFollowTail(false);
  QTableView::mousePressEvent(event);
}

bool TQueueView::viewportEvent(QEvent* event) {
  // Hints belong to a grid the user sees, never to one under another page.
  if (event->type() == QEvent::ToolTip && !isVisible()) return true;
  return QTableView::viewportEvent(event);
}

void TQueueView::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex under = indexAt(event->pos());
  if (under.isValid()) SelectRow(under.row());
  menuRow_ = SelectedRow();
  SetQueueFilled(model_.QueueCount() > 0);
  menu_->popup(event->globalPos());
}

}  // namespace kestrix
