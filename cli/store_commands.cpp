// The commands that read and edit the store of projects and jobs.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/instance_guard.h"
#include "cli/job_options.h"
#include "core/job_url.h"
#include "engine/history_file.h"
#include "links/link_filters.h"

namespace kestrix {

namespace {

std::optional<int> JobNumber(const std::string& text, int jobCount) {
  std::optional<int> number = ParseBoundedInt(text, 1, jobCount);
  if (!number) {
    ReportError(
        "\"" + text + "\" is not a job number" +
        (jobCount > 0 ? " (1 to " + std::to_string(jobCount) + ")" : " (the project has no jobs)"));
  }
  return number;
}

}  // namespace

int RunProjects(const ParsedArguments&) {
  CliSession session;
  for (const std::string& name : session.Store().ProjectNames()) std::cout << name << "\n";
  return kExitOk;
}

int RunJobs(const ParsedArguments& args) {
  CliSession session;
  std::string project = args.positional[0];
  if (!session.ResolveProject(project)) return kExitFailure;
  const int count = session.Store().JobCount(project);
  for (int job = 1; job <= count; ++job) {
    TJobRecord record;
    session.Store().GetJob(project, job, record);
    std::cout << job << "\t" << record.editUrl;
    if (std::string options = JobOptionsText(record); !options.empty())
      std::cout << "\t" << options;
    std::cout << "\n";
  }
  return kExitOk;
}

int RunAddProject(const ParsedArguments& args) {
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  if (std::string error = session.Store().AddProject(args.positional[0]); !error.empty()) {
    ReportError(error);
    return kExitFailure;
  }
  return session.SaveSettings(false) ? kExitOk : kExitFailure;
}

int RunAddJob(const ParsedArguments& args) {
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  std::string project = args.positional[0];
  if (!session.ResolveProject(project)) return kExitFailure;
  TJobRecord job;
  job.ProjectName = project;
  job.editUrl = NormaliseJobUrl(args.positional[1]);
  if (job.editUrl.empty()) {
    ReportError("\"" + args.positional[1] + "\" is not a URL with a host name");
    return kExitFailure;
  }
  if (std::string error = ApplyJobOptions(args, job); !error.empty()) {
    ReportError(error);
    return kExitUsage;
  }
  if (std::optional<std::string> maskError = CheckJobPatterns(job)) {
    ReportError(*maskError);
    return kExitFailure;
  }
  if (std::string error = session.Store().AddJob(job); !error.empty()) {
    ReportError(error);
    return kExitFailure;
  }
  if (!session.SaveSettings(false)) return kExitFailure;
  std::cout << session.Store().JobCount(project) << "\t" << job.editUrl << "\n";
  return kExitOk;
}

int RunRemoveJob(const ParsedArguments& args) {
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  std::string project = args.positional[0];
  if (!session.ResolveProject(project)) return kExitFailure;
  std::optional<int> job = JobNumber(args.positional[1], session.Store().JobCount(project));
  if (!job) return kExitFailure;
  session.Store().RemoveJob(project, *job);
  if (!session.SaveSettings(false)) return kExitFailure;
  // The project's history names jobs by number: its entries follow theirs.
  const int removed = *job;
  const std::string& folder = session.Options().DownLoadFolder;
  if (!RenumberHistoryJobs(folder, project,
                           [removed](int32_t j) { return JobNumberAfterRemoval(j, removed); })) {
    ReportError("The history of project " + project +
                " could not be rewritten: " + HistoryFilePath(folder, project));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace kestrix
