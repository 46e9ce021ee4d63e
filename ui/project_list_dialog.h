// The project list dialog: add, rename, delete and reorder projects on a
// copy of the store's list. Renames are collected and carried out on disk
// (project folder and history file together) only when Ok is clicked, so
// Cancel leaves the disk as it was; when one of them fails, the ones done
// before it are undone and the dialog stays open.
#pragma once

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "core/job_list.h"
#include "core/project_rename.h"
#include "ui/dialog_message.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kestrix {

class TfmEditProject : public QDialog {
 public:
  // `downloadFolder` ends in "/"; `renameFolder` moves a project folder.
  TfmEditProject(TShowMessage showMessage, std::string downloadFolder, QWidget* parent = nullptr,
                 TRenamePath renameFolder = RenameNoReplace);

  void SetProjects(std::vector<TProject> projects);
  // The list as it stands, in the order shown.
  std::vector<TProject> Projects() const;

  std::string OldName;
  bool UpdateMode = false;

  QLineEdit* editProjName;
  QListWidget* listProjName;
  QPushButton* btnAdd;
  QPushButton* btnUpdate;
  QPushButton* btnDelete;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateButtons();
  void ChooseForUpdate(QListWidgetItem* item);
  void Add();
  void Update();
  void Delete();
  void TryAccept();
  bool Refuse(const QString& text);
  bool Occupied(const std::string& name) const;
  QListWidgetItem* ItemNamed(const std::string& name) const;

  TShowMessage showMessage_;
  std::string downloadFolder_;
  TRenamePath renameFolder_;
  // Every project ever shown; list items point into it by index, so that a
  // dragged or renamed item keeps its jobs.
  std::vector<TProject> projects_;
  // Renames in the order they were made, carried out on Ok.
  std::vector<std::pair<std::string, std::string>> renames_;
};

}  // namespace kestrix
