#include "core/job_list.h"

#include <algorithm>

#include "core/ini_file.h"
#include "core/project_name.h"

namespace kestrix {

namespace {

constexpr std::string_view kProjectsSection = "Projects";

// A line break inside a stored value would split it into two lines of the
// settings file; no field of a job can hold one usefully.
std::string StorableText(const TJobRecord& record) {
  std::string text = JobRecordToText(record);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

template <typename T>
bool MoveItem(std::vector<T>& items, size_t from, size_t to) {
  if (from >= items.size() || to >= items.size()) return false;
  T item = std::move(items[from]);
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(from));
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(to), std::move(item));
  return true;
}

}  // namespace

TJobList::TJobList(IniFile& ini) : ini_(ini) {
  IniDocument doc;
  if (!ini_.Load(doc)) {
    loadErrors_.push_back("Cannot read the settings file: " + ini_.Path());
  }
  Load(doc);
}

TJobList::TJobList(IniFile& ini, const IniDocument& doc) : ini_(ini) {
  Load(doc);
}

void TJobList::Load(const IniDocument& doc) {
  for (const IniEntry& entry : doc.ReadSection(kProjectsSection)) {
    const std::string& name = entry.key;
    if (std::string error = ProjectNameError(name); !error.empty()) {
      loadErrors_.push_back(std::move(error));
      continue;
    }
    if (FindProject(name) >= 0) {
      loadErrors_.push_back("Project \"" + name +
                            "\" is listed twice; the second one is left out.");
      continue;
    }
    TProject project{name, std::nullopt};
    // Job order is line order; the numbers in the keys mean nothing.
    std::vector<IniEntry> lines = doc.ReadSection(name);
    if (!lines.empty()) {
      project.Jobs.emplace();
      for (IniEntry& line : lines) project.Jobs->push_back(std::move(line.value));
    }
    projects_.push_back(std::move(project));
  }
}

bool TJobList::SaveTo(IniDocument& doc) const {
  bool ok = true;
  doc.EraseSection(kProjectsSection);
  for (const TProject& project : projects_) {
    if (project.Jobs) doc.EraseSection(project.Name);
  }
  for (const TProject& project : projects_) {
    ok &= doc.WriteString(kProjectsSection, project.Name, "Project");
  }
  for (const TProject& project : projects_) {
    if (!project.Jobs) continue;
    for (size_t i = 0; i < project.Jobs->size(); ++i) {
      ok &= doc.WriteString(project.Name, "Job" + std::to_string(i), (*project.Jobs)[i]);
    }
  }
  return ok;
}

std::string TJobList::Save() {
  const bool saved = ini_.Update([this](IniDocument& doc) { return SaveTo(doc); });
  return saved ? std::string() : "Cannot write the settings file: " + ini_.Path();
}

std::vector<std::string> TJobList::ProjectNames() const {
  std::vector<std::string> names;
  names.reserve(projects_.size());
  for (const TProject& project : projects_) names.push_back(project.Name);
  return names;
}

int TJobList::FindProject(const std::string& name) const {
  for (size_t i = 0; i < projects_.size(); ++i) {
    if (SameProjectName(projects_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TJobList::AddProject(const std::string& name) {
  if (std::string error = ProjectNameError(name); !error.empty()) return error;
  if (FindProject(name) >= 0) return name + " is exist !";
  projects_.push_back({name, std::vector<std::string>()});
  return {};
}

bool TJobList::RemoveProject(const std::string& name) {
  const int index = FindProject(name);
  if (index < 0) return false;
  projects_.erase(projects_.begin() + index);
  return true;
}

std::string TJobList::RenameProject(const std::string& oldName, const std::string& newName) {
  const int index = FindProject(oldName);
  if (index < 0) return "Project : " + oldName + " not found !";
  if (std::string error = ProjectNameError(newName); !error.empty()) return error;
  const int other = FindProject(newName);
  if (other >= 0 && other != index) return newName + " is exist !";
  TProject& project = projects_[static_cast<size_t>(index)];
  project.Name = newName;
  if (project.Jobs) {
    for (std::string& job : *project.Jobs) {
      const size_t separator = job.find('`');
      if (separator != std::string::npos) job.replace(0, separator, newName);
    }
  }
  return {};
}

bool TJobList::MoveProject(int from, int to) {
  if (from < 0 || to < 0) return false;
  return MoveItem(projects_, static_cast<size_t>(from), static_cast<size_t>(to));
}

std::string TJobList::SetProjects(std::vector<TProject> projects) {
  for (size_t i = 0; i < projects.size(); ++i) {
    const std::string& name = projects[i].Name;
    if (std::string error = ProjectNameError(name); !error.empty()) return error;
    for (size_t j = 0; j < i; ++j) {
      if (SameProjectName(projects[j].Name, name)) return name + " is exist !";
    }
  }
  projects_ = std::move(projects);
  return {};
}

const std::vector<std::string>* TJobList::JobsOf(const std::string& project) const {
  const int index = FindProject(project);
  if (index < 0) return nullptr;
  const auto& jobs = projects_[static_cast<size_t>(index)].Jobs;
  return jobs ? &*jobs : nullptr;
}

std::vector<std::string>* TJobList::JobsOf(const std::string& project) {
  const int index = FindProject(project);
  if (index < 0) return nullptr;
  auto& jobs = projects_[static_cast<size_t>(index)].Jobs;
  return jobs ? &*jobs : nullptr;
}

int TJobList::JobCount(const std::string& project) const {
  const std::vector<std::string>* jobs = JobsOf(project);
  return jobs ? static_cast<int>(jobs->size()) : 0;
}

std::string TJobList::AddJob(const TJobRecord& record) {
  const int index = FindProject(record.ProjectName);
  if (index < 0) return "Project : " + record.ProjectName + " not found !";
  auto& jobs = projects_[static_cast<size_t>(index)].Jobs;
  if (!jobs) jobs.emplace();
  jobs->push_back(StorableText(record));
  return {};
}

void TJobList::GetJob(const std::string& project, int job, TJobRecord& record) const {
  InitJobRecord(record);
  const std::vector<std::string>* jobs = JobsOf(project);
  if (jobs == nullptr || job < 1 || static_cast<size_t>(job) > jobs->size()) return;
  const std::string& text = (*jobs)[static_cast<size_t>(job - 1)];
  if (text.empty()) return;
  ParseJobRecordText(text, project, record);
  record.ProjectName = projects_[static_cast<size_t>(FindProject(project))].Name;
}

bool TJobList::UpdateJob(const std::string& project, int job, const TJobRecord& record) {
  std::vector<std::string>* jobs = JobsOf(project);
  if (jobs == nullptr || job < 1 || static_cast<size_t>(job) > jobs->size()) return false;
  (*jobs)[static_cast<size_t>(job - 1)] = StorableText(record);
  return true;
}

bool TJobList::RemoveJob(const std::string& project, int job) {
  std::vector<std::string>* jobs = JobsOf(project);
  if (jobs == nullptr || job < 1 || static_cast<size_t>(job) > jobs->size()) return false;
  jobs->erase(jobs->begin() + (job - 1));
  return true;
}

bool TJobList::MoveJob(const std::string& project, int from, int to) {
  std::vector<std::string>* jobs = JobsOf(project);
  if (jobs == nullptr || from < 1 || to < 1) return false;
  return MoveItem(*jobs, static_cast<size_t>(from - 1), static_cast<size_t>(to - 1));
}

}  // namespace kestrix
