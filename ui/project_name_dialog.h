// The project name dialog: asks for the name of a new project and refuses
// one the store already holds, in any letter case, or cannot store.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ui/dialog_message.h"

class QLineEdit;
class QPushButton;

namespace kestrix {

class TfmProject : public QDialog {
 public:
  explicit TfmProject(TShowMessage showMessage, QWidget* parent = nullptr);

  // The names a new project may not repeat.
  void SetExisting(std::vector<std::string> names) { existing_ = std::move(names); }
  // The trimmed name typed.
  std::string Name() const;

  QLineEdit* editProjectName;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 private:
  bool CheckName();
  void TryAccept();

  TShowMessage showMessage_;
  std::vector<std::string> existing_;
};

}  // namespace kestrix
