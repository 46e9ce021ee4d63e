#include "ui/project_list_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <map>

#include "core/project_name.h"

namespace kestrix {

namespace {

constexpr int kProjectIndexRole = Qt::UserRole;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TfmEditProject::TfmEditProject(TShowMessage showMessage, std::string downloadFolder,
                               QWidget* parent, TRenamePath renameFolder)
    : QDialog(parent),
      showMessage_(std::move(showMessage)),
      downloadFolder_(std::move(downloadFolder)),
      renameFolder_(std::move(renameFolder)) {
  setWindowTitle(QStringLiteral("Edit projects list"));
  editProjName = new QLineEdit(this);
  editProjName->setObjectName(QStringLiteral("editProjName"));
  listProjName = new QListWidget(this);
  listProjName->setObjectName(QStringLiteral("listProjName"));
  listProjName->setToolTip(QStringLiteral("Type double click to Update item"));
  // Items move within the list only; drops from elsewhere are refused.
  listProjName->setDragDropMode(QAbstractItemView::InternalMove);
  const auto button = [this](const char* caption, const char* name) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  btnAdd = button("Add new", "btnAdd");
  btnUpdate = button("Update", "btnUpdate");
  btnDelete = button("Delete", "btnDelete");
  btnOk = button("Ok", "btnOk");
  btnCancel = button("Cancel", "btnCancel");

  auto* side = new QVBoxLayout;
  for (QPushButton* b : {btnAdd, btnUpdate, btnDelete}) side->addWidget(b);
  side->addStretch();
  side->addWidget(btnOk);
  side->addWidget(btnCancel);
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(QStringLiteral("Project name:"), this));
  left->addWidget(editProjName);
  left->addWidget(new QLabel(QStringLiteral("Projects list:"), this));
  left->addWidget(listProjName);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(side);

  connect(editProjName, &QLineEdit::textChanged, this, [this](const QString& text) {
    // An emptied box leaves renaming, as Esc does.
    if (text.isEmpty()) UpdateMode = false;
    UpdateButtons();
  });
  connect(listProjName, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { ChooseForUpdate(item); });
  connect(btnAdd, &QPushButton::clicked, this, [this] { Add(); });
  connect(btnUpdate, &QPushButton::clicked, this, [this] { Update(); });
  connect(btnDelete, &QPushButton::clicked, this, [this] { Delete(); });
  connect(btnOk, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  UpdateButtons();
}

void TfmEditProject::keyPressEvent(QKeyEvent* event) {
  // Esc while renaming gives up the rename (a refused one included), not
  // every edit of the list.
  if (event->key() == Qt::Key_Escape && UpdateMode) {
    editProjName->clear();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfmEditProject::showEvent(QShowEvent* event) {
  UpdateButtons();
  QDialog::showEvent(event);
}

void TfmEditProject::SetProjects(std::vector<TProject> projects) {
  projects_ = std::move(projects);
  renames_.clear();
  listProjName->clear();
  for (size_t i = 0; i < projects_.size(); ++i) {
    auto* item = new QListWidgetItem(Text(projects_[i].Name), listProjName);
    item->setData(kProjectIndexRole, static_cast<int>(i));
  }
}

std::vector<TProject> TfmEditProject::Projects() const {
  std::vector<TProject> result;
  for (int row = 0; row < listProjName->count(); ++row) {
    const QListWidgetItem* item = listProjName->item(row);
    TProject project = projects_[static_cast<size_t>(item->data(kProjectIndexRole).toInt())];
    project.Name = item->text().toStdString();
    result.push_back(std::move(project));
  }
  return result;
}

void TfmEditProject::UpdateButtons() {
  btnAdd->setEnabled(!UpdateMode && !editProjName->text().isEmpty());
  btnUpdate->setEnabled(UpdateMode);
}

void TfmEditProject::ChooseForUpdate(QListWidgetItem* item) {
  if (item == nullptr) return;
  OldName = item->text().toStdString();
  UpdateMode = true;
  editProjName->setText(item->text());
  UpdateButtons();
}

QListWidgetItem* TfmEditProject::ItemNamed(const std::string& name) const {
  for (int row = 0; row < listProjName->count(); ++row) {
    if (listProjName->item(row)->text().toStdString() == name) return listProjName->item(row);
  }
  return nullptr;
}

bool TfmEditProject::Refuse(const QString& text) {
  if (showMessage_) showMessage_(this, TMessageKind::Warning, text);
  return false;
}

void TfmEditProject::Add() {
  if (editProjName->text().isEmpty()) return;
  const std::string name = editProjName->text().trimmed().toStdString();
  for (int row = 0; row < listProjName->count(); ++row) {
    if (SameProjectName(listProjName->item(row)->text().toStdString(), name)) {
      Refuse(Text(name) + QStringLiteral("  is exist !"));
      return;
    }
  }
  if (const std::string error = ProjectNameError(name); !error.empty()) {
    Refuse(Text(error));
    return;
  }
  projects_.push_back({name, std::nullopt});
  auto* item = new QListWidgetItem(Text(name), listProjName);
  item->setData(kProjectIndexRole, static_cast<int>(projects_.size() - 1));
  editProjName->clear();
}

// Whether a folder of that name will stand in the download folder once the
// renames made so far are carried out.
bool TfmEditProject::Occupied(const std::string& name) const {
  std::map<std::string, bool> folders;  // names the renames touched
  const auto occupied = [&](const std::string& folder) {
    const auto known = folders.find(folder);
    if (known != folders.end()) return known->second;
    std::error_code ignored;
    return std::filesystem::exists(
        std::filesystem::symlink_status(downloadFolder_ + folder, ignored));
  };
  for (const auto& [from, to] : renames_) {
    // A project without a folder moves nothing.
    if (!occupied(from)) continue;
    folders[to] = true;
    folders[from] = false;
  }
  return occupied(name);
}

void TfmEditProject::Update() {
  if (editProjName->text().isEmpty()) return;
  QListWidgetItem* item = ItemNamed(OldName);
  if (item == nullptr) return;
  // The name keeps the case typed: folders on Linux tell cases apart.
  const std::string newName = editProjName->text().trimmed().toStdString();
  if (const std::string error = ProjectNameError(newName); !error.empty()) {
    Refuse(Text(error));
    return;
  }
  for (int row = 0; row < listProjName->count(); ++row) {
    QListWidgetItem* other = listProjName->item(row);
    if (other != item && SameProjectName(other->text().toStdString(), newName)) {
      Refuse(Text(newName) + QStringLiteral("  is exist !"));
      return;
    }
  }
  if (newName != OldName && Occupied(OldName) && Occupied(newName)) {
    Refuse(QStringLiteral("Cannot rename directory: ") + Text(downloadFolder_ + OldName + "/") +
           QStringLiteral(" (") + Text(downloadFolder_ + newName + "/") +
           QStringLiteral(" already exists)"));
    return;
  }
  if (newName != OldName) {
    renames_.emplace_back(OldName, newName);
    item->setText(Text(newName));
    TProject& project = projects_[static_cast<size_t>(item->data(kProjectIndexRole).toInt())];
    if (project.Jobs) {
      // The project name is the first field of every stored job.
      for (std::string& job : *project.Jobs) {
        const size_t separator = job.find('`');
        if (separator != std::string::npos) job.replace(0, separator, newName);
      }
    }
  }
  UpdateMode = false;
  editProjName->clear();
  UpdateButtons();
}

void TfmEditProject::Delete() {
  const int row = listProjName->currentRow();
  if (row < 0) return;
  delete listProjName->takeItem(row);
  if (listProjName->count() > 0) listProjName->setCurrentRow(qMin(row, listProjName->count() - 1));
}

void TfmEditProject::TryAccept() {
  for (size_t done = 0; done < renames_.size(); ++done) {
    const auto& [from, to] = renames_[done];
    const std::string error = RenameProjectData(downloadFolder_, from, to, renameFolder_);
    if (error.empty()) continue;
    // All or nothing: the store keeps the old names when the dialog does
    // not close with Ok, so the disk must keep them too.
    QString text = Text(error);
    while (done > 0) {
      --done;
      const auto& [undoFrom, undoTo] = renames_[done];
      if (const std::string undo =
              RenameProjectData(downloadFolder_, undoTo, undoFrom, renameFolder_);
          !undo.empty()) {
        text += u'\n' + Text(undo);
      }
    }
    Refuse(text);
    return;
  }
  renames_.clear();
  accept();
}

}  // namespace kestrix
