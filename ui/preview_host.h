// What the preview needs from the window that holds it: the selections it
// acts on and the few things it asks that window to do. The main window
// implements this; tests give a recording fake.
#pragma once

#include <string>

class QString;

namespace kestrix {

class PreviewHost {
 public:
  virtual ~PreviewHost() = default;

  // The project and the 1-based job row a form's "Download" is started for;
  // 0 when no job is selected.
  virtual std::string SelectedProject() const = 0;
  virtual int SelectedJob() const = 0;
  // The queue grid's selected row (entries start at row 1), 0 when none,
  // and selecting another one.
  virtual int SelectedQueueRow() const = 0;
  virtual void SelectQueueRow(int row) = 0;
  // Make the "View" or the "Queue" page the active one.
  virtual void ShowViewPage() = 0;
  virtual void ShowQueuePage() = 0;
  // Status panel 0, while the "View" page is active.
  virtual void ShowPreviewStatus(const QString& text) = 0;
  // The job property dialog for the selected job (the editor's
  // "Download property" button).
  virtual void EditSelectedJob() = 0;
};

}  // namespace kestrix
