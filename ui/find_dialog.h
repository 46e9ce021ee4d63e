// The find dialog: searches a text in one column of a grid, row by row, and
// selects the row found; or searches a text box. Made for each use.
#pragma once

#include <QDialog>

class QAbstractItemModel;
class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace kestrix {

class UserPrompts;

class TfmFind final : public QDialog {
  Q_OBJECT

 public:
  // `prompts` tells the user when nothing was found; the target and the
  // prompts must outlive the dialog.
  TfmFind(QAbstractItemView& grid, UserPrompts& prompts, QWidget* parent = nullptr);
  TfmFind(QTextEdit& text, UserPrompts& prompts, QWidget* parent = nullptr);

  // The first row from `fromRow` on whose cell in `column` holds `text`, or
  // -1. Without `matchCase` letters are compared in upper case.
  static int FindRow(const QAbstractItemModel& model, int column, int fromRow, const QString& text,
                     bool matchCase);

  // "Find first" (`fromStart`) or "Next find"; true when found.
  bool Search(bool fromStart);

  QLineEdit* FindText() const { return findText_; }
  QComboBox* Fields() const { return fields_; }
  QCheckBox* MatchCase() const { return matchCase_; }
  QPushButton* FindButton() const { return find_; }
  QPushButton* NextButton() const { return next_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit TfmFind(UserPrompts& prompts, QWidget* parent);
  void UpdateButtons();
  bool SearchGrid(bool fromStart);
  bool SearchText(bool fromStart);
  void NotFound();

  QAbstractItemView* grid_ = nullptr;
  QTextEdit* text_ = nullptr;
  UserPrompts& prompts_;
  QLineEdit* findText_;
  QLabel* fieldsLabel_;
  QComboBox* fields_;
  QCheckBox* matchCase_;
  QPushButton* find_;
  QPushButton* next_;
  QPushButton* cancel_;
};

}  // namespace kestrix
