// The post data editor: shows a submitted form's URL, method and parameters,
// lets the user edit them as a list or as raw text, and closes with
// "Download", "View" or "Cancel". The preview makes one for each submission.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "ui/post_data.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTableWidgetItem;
class QToolButton;

namespace kestrix {

class TfmPostData : public QDialog {
 public:
  // The result of "View"; "Download" is Accepted and "Cancel" Rejected.
  static constexpr int kViewResult = 2;

  // `editJob` opens the job property dialog for the selected job; the
  // button is hidden without it.
  explicit TfmPostData(std::function<void()> editJob = {}, QWidget* parent = nullptr);

  // `posted`: the form went out as a POST; `multipart`: its fields as
  // multipart/form-data (see TPostData::Setup).
  void Setup(const std::string& url, const std::string& postData, bool posted,
             bool multipart = false);
  std::string ResultUrl() const { return data_.ResultUrl(); }
  std::string ResultPostData() const { return data_.ResultPostData(); }
  const TPostData& Data() const { return data_; }

  QRadioButton* rbPost;
  QRadioButton* rbGet;
  QLineEdit* edUrl;
  QPlainTextEdit* mmParams;
  QTableWidget* grd;
  QLabel* lblItems;
  QLabel* lblEncoding;  // the type the body is sent as
  QPushButton* btnUndo;
  QToolButton* btnProperty;
  QPushButton* btnDownLoad;
  QPushButton* btnView;
  QPushButton* btnCancel;

 private:
  void ShowAll();
  void FillList();
  void ShowText();
  void ShowUrl();
  void RowChanged(QTableWidgetItem* item);
  void MemoEdited();

  TPostData data_;
  bool filling_ = false;  // changes made by the program are not edits
};

}  // namespace kestrix
