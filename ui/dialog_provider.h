// How the main window opens its modal dialogs. The window asks through this
// interface instead of building the forms itself, so that its tests can
// answer with a fake and never meet a modal box they cannot close; the
// program passes the real forms.
#pragma once

#include <string>
#include <vector>

#include "core/job_list.h"

class QWidget;

namespace kestrix {

struct TGlobalOptions;
struct TJobRecord;

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;

  // The job property dialog on `job` (a new job when `isNew`); true on Ok,
  // with `job` holding the edited record.
  virtual bool EditJob(QWidget* parent, TJobRecord& job, bool isNew) = 0;
  // The options dialog; true on Ok, with `options` holding the edited values
  // (the dialog has written them to the settings file by then). With
  // `folderLocked` the download folder cannot be changed.
  virtual bool EditOptions(QWidget* parent, TGlobalOptions& options, bool folderLocked) = 0;
  // The project name dialog; true on Ok, with the trimmed name in `name`.
  // `existing` are the names a new project may not repeat.
  virtual bool AskProjectName(QWidget* parent, const std::vector<std::string>& existing,
                              std::string& name) = 0;
  // The project list dialog on a copy of the store's projects; true on Ok,
  // with `projects` holding the list to store. Renames on disk happen inside.
  virtual bool EditProjectList(QWidget* parent, const TGlobalOptions& options,
                               std::vector<TProject>& projects) = 0;
  // The file chooser for saving, opened on `path`; true on Save, with the
  // chosen file in `path`.
  virtual bool AskSaveFileName(QWidget* parent, std::string& path) = 0;
};

}  // namespace kestrix
