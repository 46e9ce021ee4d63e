#include "ui/find_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

#include "ui/user_prompts.h"

namespace kestrix {

TfmFind::TfmFind(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("fmFind"));
  setWindowTitle(QStringLiteral("Find"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  findText_ = new QLineEdit(this);
  findText_->setObjectName(QStringLiteral("FindText"));
  fieldsLabel_ = new QLabel(QStringLiteral("Searched fild:"), this);
  fields_ = new QComboBox(this);
  fields_->setObjectName(QStringLiteral("ComboGridFields"));
  matchCase_ = new QCheckBox(QStringLiteral("Match Case"), this);
  matchCase_->setObjectName(QStringLiteral("CheckCase"));
  find_ = new QPushButton(QStringLiteral("Find first"), this);
  find_->setObjectName(QStringLiteral("btnFind"));
  next_ = new QPushButton(QStringLiteral("Next find"), this);
  next_->setObjectName(QStringLiteral("btnNext"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("btnCansel"));
  for (QPushButton* button : {find_, next_, cancel_}) button->setAutoDefault(false);
  find_->setEnabled(false);
  next_->setEnabled(false);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Searched Text:"), this), 0, 0);
  layout->addWidget(findText_, 0, 1);
  layout->addWidget(fieldsLabel_, 1, 0);
  layout->addWidget(fields_, 1, 1);
  layout->addWidget(matchCase_, 2, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(find_);
  buttons->addWidget(next_);
  buttons->addWidget(cancel_);
  buttons->addStretch();
  layout->addLayout(buttons, 0, 2, 3, 1);

  connect(findText_, &QLineEdit::textChanged, this, &TfmFind::UpdateButtons);
  connect(find_, &QPushButton::clicked, this, [this] { Search(true); });
  connect(next_, &QPushButton::clicked, this, [this] { Search(false); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  findText_->installEventFilter(this);
}

TfmFind::TfmFind(QAbstractItemView& grid, UserPrompts& prompts, QWidget* parent)
    : TfmFind(prompts, parent) {
  grid_ = &grid;
  const QAbstractItemModel* model = grid.model();
  // A grid without rows leaves the list as it was.
  if (model != nullptr && model->rowCount() > 0) {
    fields_->clear();
    for (int column = 0; column < model->columnCount(); ++column) {
      fields_->addItem(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    }
  }
  if (fields_->count() > 0) fields_->setCurrentIndex(0);
}

TfmFind::TfmFind(QTextEdit& text, UserPrompts& prompts, QWidget* parent)
    : TfmFind(prompts, parent) {
  text_ = &text;
  fieldsLabel_->hide();
  fields_->hide();
}

void TfmFind::UpdateButtons() {
  const bool enabled = !findText_->text().isEmpty() && (text_ != nullptr || fields_->count() > 0);
  find_->setEnabled(enabled);
  next_->setEnabled(enabled);
}

int TfmFind::FindRow(const QAbstractItemModel& model, int column, int fromRow, const QString& text,
                     bool matchCase) {
  if (text.isEmpty() || column < 0 || column >= model.columnCount()) return -1;
  const Qt::CaseSensitivity sensitivity = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (int row = std::max(fromRow, 0); row < model.rowCount(); ++row) {
    const QString cell = model.data(model.index(row, column), Qt::DisplayRole).toString();
    if (cell.contains(text, sensitivity)) return row;
  }
  return -1;
}

bool TfmFind::Search(bool fromStart) {
  if (findText_->text().isEmpty()) return false;
  return grid_ != nullptr ? SearchGrid(fromStart) : SearchText(fromStart);
}

bool TfmFind::SearchGrid(bool fromStart) {
  QAbstractItemModel* model = grid_->model();
  if (model == nullptr) return false;
  const QModelIndex before = grid_->currentIndex();
  const int start = fromStart ? 0 : (before.isValid() ? before.row() + 1 : 0);
  const int row =
      FindRow(*model, fields_->currentIndex(), start, findText_->text(), matchCase_->isChecked());
  if (row < 0) {
    // The row selected before the search stays selected.
    NotFound();
    return false;
  }
  grid_->setCurrentIndex(model->index(row, 0));
  grid_->scrollTo(model->index(row, 0));
  return true;
}

bool TfmFind::SearchText(bool fromStart) {
  QTextDocument::FindFlags flags;
  if (matchCase_->isChecked()) flags |= QTextDocument::FindCaseSensitively;
  QTextCursor from = text_->textCursor();
  if (fromStart) {
    from.setPosition(0);
  } else {
    from.setPosition(from.selectionEnd());
  }
  const QTextCursor found = text_->document()->find(findText_->text(), from, flags);
  if (found.isNull()) {
    NotFound();
    return false;
  }
  text_->setFocus();
  text_->setTextCursor(found);
  text_->ensureCursorVisible();
  return true;
}

void TfmFind::NotFound() {
  prompts_.Tell(this, QStringLiteral("'") + findText_->text() + QStringLiteral("'  not found !"),
                TPromptIcon::Information);
}

bool TfmFind::eventFilter(QObject* watched, QEvent* event) {
  if (watched == findText_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // Enter always starts again from the first row.
      if (!findText_->text().trimmed().isEmpty()) Search(true);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmFind::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  // Enter must not close the dialog as a default button would.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QDialog::keyPressEvent(event);
}

}  // namespace kestrix
