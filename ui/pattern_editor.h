// The pattern editor: one pattern list of a job shown as a table, a pattern
// per row with its stored file mask beside it, and turned back into the list
// text on Ok. The mask column can be hidden; hidden masks stay in the table
// and are written back with their patterns.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace kestrix {

class TfmEditPatterns : public QDialog {
 public:
  explicit TfmEditPatterns(QWidget* parent = nullptr);

  // Set by the caller before showing; PatternText holds the result on Ok.
  std::string PatternText;
  bool ShowMask = false;

  QTableWidget* StrGrdPattern;
  QToolButton* btnNewRow;
  QToolButton* btnDelRow;
  QLabel* lblcnt;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FillGrid();
  void PutEntry(int row, const QString& entry);
  QString Cell(int row, int column) const;
  void SetCell(int row, int column, const QString& text);
  void NewRow();
  void DeleteRow();
  void BuildText();
};

}  // namespace kestrix
