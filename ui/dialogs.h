// The program's dialogs behind the main window's DialogProvider. The job
// property, options and project name dialogs are made once and reused; the
// project list dialog is made for each use.
#pragma once

#include <memory>

#include "ui/dialog_message.h"
#include "ui/dialog_provider.h"

namespace kestrix {

class IniFile;
class OfflineState;
class TfmOptions;
class TfmProject;
class TfmProperty;

class TDialogs : public DialogProvider {
 public:
  // `settings` receives the options on Ok; `offline` is the program's
  // "Work Offline" switch, which the options dialog shows and sets.
  TDialogs(IniFile& settings, OfflineState& offline, TShowMessage showMessage = ShowMessageBox);
  ~TDialogs() override;
  TDialogs(const TDialogs&) = delete;
  TDialogs& operator=(const TDialogs&) = delete;

  bool EditJob(QWidget* parent, TJobRecord& job, bool isNew) override;
  bool EditOptions(QWidget* parent, TGlobalOptions& options, bool folderLocked) override;
  bool AskProjectName(QWidget* parent, const std::vector<std::string>& existing,
                      std::string& name) override;
  bool EditProjectList(QWidget* parent, const TGlobalOptions& options,
                       std::vector<TProject>& projects) override;
  bool AskSaveFileName(QWidget* parent, std::string& path) override;

  // The reused forms, made on first use.
  TfmProperty& Property();
  TfmOptions& Options();
  TfmProject& Project();

 private:
  IniFile& settings_;
  OfflineState& offline_;
  TShowMessage showMessage_;
  std::unique_ptr<TfmProperty> property_;
  std::unique_ptr<TfmOptions> options_;
  std::unique_ptr<TfmProject> project_;
};

}  // namespace kestrix
