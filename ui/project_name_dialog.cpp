#include "ui/project_name_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/project_name.h"

namespace kestrix {

TfmProject::TfmProject(TShowMessage showMessage, QWidget* parent)
    : QDialog(parent), showMessage_(std::move(showMessage)) {
  setWindowTitle(QStringLiteral("Project"));
  editProjectName = new QLineEdit(this);
  editProjectName->setObjectName(QStringLiteral("editProjectName"));
  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setEnabled(false);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  // Enter in the name box is handled by the box itself; a default button
  // would run the same check a second time.
  for (QPushButton* button : {btnOk, btnCancel}) button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Project name :"), this));
  layout->addWidget(editProjectName);
  layout->addLayout(buttons);

  connect(editProjectName, &QLineEdit::textChanged, this,
          [this](const QString& text) { btnOk->setEnabled(!text.isEmpty()); });
  connect(editProjectName, &QLineEdit::returnPressed, this, [this] {
    if (!Name().empty()) TryAccept();
  });
  connect(btnOk, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string TfmProject::Name() const {
  return editProjectName->text().trimmed().toStdString();
}

bool TfmProject::CheckName() {
  const std::string name = Name();
  QString problem;
  for (const std::string& existing : existing_) {
    if (SameProjectName(existing, name)) {
      problem = editProjectName->text().trimmed().toUpper() + QStringLiteral(" is exist !");
      break;
    }
  }
  // The store would refuse such a name after the dialog closed.
  if (problem.isEmpty()) problem = QString::fromStdString(ProjectNameError(name));
  if (problem.isEmpty()) return true;
  if (showMessage_) showMessage_(this, TMessageKind::Warning, problem);
  return false;
}

void TfmProject::TryAccept() {
  if (CheckName()) accept();
}

}  // namespace kestrix
