// The store of projects and their jobs, kept in the settings file: section
// "Projects" lists the projects in order, and each project's section holds
// its jobs' text forms under the keys "Job0", "Job1", ... The store never
// shows anything: operations that can fail return the text to show, empty
// when they succeeded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/job_record.h"

namespace kestrix {

class IniDocument;
class IniFile;

struct TProject {
  std::string Name;
  // Absent when the project has no job list (no section in the file); the
  // store creates it with the first job added.
  std::optional<std::vector<std::string>> Jobs;

  bool operator==(const TProject&) const = default;
};

class TJobList {
 public:
  // Loads the store from `ini`, which must outlive it. Projects whose names
  // are unusable (see ProjectNameError) or repeat an earlier name are left
  // out and reported by LoadErrors.
  explicit TJobList(IniFile& ini);
  // An empty store, or one loaded from a document already in memory.
  TJobList(IniFile& ini, const IniDocument& doc);

  const std::vector<std::string>& LoadErrors() const { return loadErrors_; }

  // Writes every project and job back as one atomic replace of the file.
  std::string Save();
  // The same changes made to a document in memory; false when a text could
  // not be stored (the document is then partly written and must be dropped).
  bool SaveTo(IniDocument& doc) const;

  // Projects.
  int ProjectCount() const { return static_cast<int>(projects_.size()); }
  const std::vector<TProject>& Projects() const { return projects_; }
  std::vector<std::string> ProjectNames() const;
  // The 0-based position of the project, found without regard to case; -1
  // when absent.
  int FindProject(const std::string& name) const;
  std::string AddProject(const std::string& name);
  bool RemoveProject(const std::string& name);
  // Renames the project and puts the new name in front of every job text
  // of it; folders on disk are the caller's business.
  std::string RenameProject(const std::string& oldName, const std::string& newName);
  // Moves the project at `from` to position `to` (0-based).
  bool MoveProject(int from, int to);
  // Replaces the whole project list, as the project list dialog edits it;
  // nothing changes when a name is unusable or repeated.
  std::string SetProjects(std::vector<TProject> projects);

  // Jobs, numbered from 1 in their project.
  int JobCount(const std::string& project) const;
  std::string AddJob(const TJobRecord& record);
  // The job, or the defaults when there is no such job. ProjectName is
  // always the project the job is stored under: that name was checked, the
  // one inside the stored text was not.
  void GetJob(const std::string& project, int job, TJobRecord& record) const;
  bool UpdateJob(const std::string& project, int job, const TJobRecord& record);
  bool RemoveJob(const std::string& project, int job);
  // Moves job `from` to position `to` (both 1-based).
  bool MoveJob(const std::string& project, int from, int to);

 private:
  void Load(const IniDocument& doc);
  const std::vector<std::string>* JobsOf(const std::string& project) const;
  std::vector<std::string>* JobsOf(const std::string& project);

  IniFile& ini_;
  std::vector<TProject> projects_;
  std::vector<std::string> loadErrors_;
};

}  // namespace kestrix
