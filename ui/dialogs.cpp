#include "ui/dialogs.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTabWidget>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/offline_state.h"
#include "ui/job_property_dialog.h"
#include "ui/options_dialog.h"
#include "ui/project_list_dialog.h"
#include "ui/project_name_dialog.h"

namespace kestrix {

namespace {

// Runs a reused dialog over `parent`. It belongs to no window in between,
// so that it never dies with a window while this object still holds it.
int ExecOver(QDialog& dialog, QWidget* parent) {
  const Qt::WindowFlags flags = dialog.windowFlags();
  dialog.setParent(parent, flags);
  const int result = dialog.exec();
  dialog.setParent(nullptr, flags);
  return result;
}

}  // namespace

TDialogs::TDialogs(IniFile& settings, OfflineState& offline, TShowMessage showMessage)
    : settings_(settings), offline_(offline), showMessage_(std::move(showMessage)) {}

TDialogs::~TDialogs() = default;

TfmProperty& TDialogs::Property() {
  if (!property_) property_ = std::make_unique<TfmProperty>(showMessage_);
  return *property_;
}

TfmOptions& TDialogs::Options() {
  if (!options_) {
    options_ = std::make_unique<TfmOptions>(showMessage_, [this](const TGlobalOptions& options) {
      return WriteOptions(settings_, options)
                 ? std::string()
                 : "Cannot write the settings file: " + settings_.Path();
    });
  }
  return *options_;
}

TfmProject& TDialogs::Project() {
  if (!project_) project_ = std::make_unique<TfmProject>(showMessage_);
  return *project_;
}

bool TDialogs::EditJob(QWidget* parent, TJobRecord& job, bool isNew) {
  TfmProperty& dialog = Property();
  dialog.GetPropertyVar(job);
  // A new job begins with its URL; what the user types first goes there.
  if (isNew) dialog.pageControl->setCurrentWidget(dialog.tabGeneral);
  dialog.FocusFirstField();
  if (ExecOver(dialog, parent) != QDialog::Accepted) return false;
  job = dialog.Record();
  return true;
}

bool TDialogs::EditOptions(QWidget* parent, TGlobalOptions& options, bool folderLocked) {
  TfmOptions& dialog = Options();
  dialog.GetOptionsVar(options, offline_.IsGlobalOffline());
  dialog.SetFolderLocked(folderLocked);
  if (ExecOver(dialog, parent) != QDialog::Accepted) return false;
  options = dialog.Options();
  offline_.SetGlobalOffline(options.GlobalOfflineFlag);
  return true;
}

bool TDialogs::AskProjectName(QWidget* parent, const std::vector<std::string>& existing,
                              std::string& name) {
  TfmProject& dialog = Project();
  dialog.editProjectName->clear();
  dialog.SetExisting(existing);
  if (ExecOver(dialog, parent) != QDialog::Accepted) return false;
  name = dialog.Name();
  return true;
}

bool TDialogs::EditProjectList(QWidget* parent, const TGlobalOptions& options,
                               std::vector<TProject>& projects) {
  TfmEditProject dialog(showMessage_, options.DownLoadFolder, parent);
  dialog.SetProjects(projects);
  if (dialog.exec() != QDialog::Accepted) return false;
  projects = dialog.Projects();
  return true;
}

bool TDialogs::AskSaveFileName(QWidget* parent, std::string& path) {
  const QString chosen =
      QFileDialog::getSaveFileName(parent, QString(), QString::fromStdString(path));
  if (chosen.isEmpty()) return false;
  path = chosen.toStdString();
  return true;
}

}  // namespace kestrix
