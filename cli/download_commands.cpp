// The commands that run the download engine.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/download_run.h"
#include "cli/exit_codes.h"
#include "cli/instance_guard.h"
#include "cli/job_options.h"
#include "core/job_url.h"
#include "core/url_list.h"
#include "core/url_split.h"
#include "engine/download_control.h"

namespace kestrix {

namespace {

// The queue row given on the command line, checked against the loaded queue.
bool QueueRow(const TDownloadControl& control, const std::string& text, int& row) {
  const int count = control.Queue().Count();
  if (count == 0) {
    ReportError("the queue of \"" + control.RunningProject() + "\" is empty");
    return false;
  }
  std::optional<int> number = ParseBoundedInt(text, 1, count);
  if (!number) {
    ReportError("\"" + text + "\" is not a queue row (1 to " + std::to_string(count) + ")");
    return false;
  }
  row = *number;
  return true;
}

// Runs `command` on the existing project named first on the command line,
// with the settings loaded and the instance guard held.
template <typename Command>
int WithProject(const ParsedArguments& args, Command command) {
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  std::string project = args.positional[0];
  if (!session.ResolveProject(project)) return kExitFailure;
  return command(session, project);
}

}  // namespace

int RunMirror(const ParsedArguments& args) {
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  TJobRecord job = MirrorJobDefaults();
  job.editUrl = NormaliseJobUrl(args.positional[0]);
  if (job.editUrl.empty()) {
    ReportError("\"" + args.positional[0] + "\" is not a URL with a host name");
    return kExitUsage;
  }
  std::string error = ApplyJobOptions(args, job);
  if (error.empty()) error = ApplyMirrorOptions(args, job);
  if (!error.empty()) {
    ReportError(error);
    return kExitUsage;
  }
  std::string project = args.Value("project").value_or(SplitUrl(job.editUrl).Host);
  TJobList& store = session.Store();
  if (store.FindProject(project) < 0) {
    if (std::string error = store.AddProject(project); !error.empty()) {
      ReportError(error);
      return kExitFailure;
    }
  }
  session.ResolveProject(project);
  job.ProjectName = project;
  // The same URL again reuses its job, so that the queue's entries keep
  // pointing at the job they came from.
  int jobNumber = 0;
  for (int n = 1; n <= store.JobCount(project) && jobNumber == 0; ++n) {
    TJobRecord stored;
    store.GetJob(project, n, stored);
    if (stored.editUrl == job.editUrl) jobNumber = n;
  }
  if (jobNumber > 0) {
    store.UpdateJob(project, jobNumber, job);
  } else if (std::string error = store.AddJob(job); !error.empty()) {
    ReportError(error);
    return kExitFailure;
  } else {
    jobNumber = store.JobCount(project);
  }
  return RunDownloadSession(session, args, project, [&](TDownloadControl& control) {
    return control.StartJob(project, jobNumber);
  });
}

int RunDownload(const ParsedArguments& args) {
  return WithProject(args, [&](CliSession& session, const std::string& project) -> int {
    const int jobCount = session.Store().JobCount(project);
    if (jobCount == 0) {
      ReportError("project \"" + project + "\" has no jobs ('kestrix-cli add-job' adds one)");
      return kExitFailure;
    }
    std::vector<int> jobs;
    for (size_t i = 1; i < args.positional.size(); ++i) {
      std::optional<int> job = ParseBoundedInt(args.positional[i], 1, jobCount);
      if (!job) {
        ReportError("\"" + args.positional[i] + "\" is not a job number (1 to " +
                    std::to_string(jobCount) + ")");
        return kExitFailure;
      }
      jobs.push_back(*job);
    }
    return RunDownloadSession(session, args, project, [&](TDownloadControl& control) {
      if (jobs.empty()) return control.StartAllJobs(project);
      for (int job : jobs) {
        if (!control.StartJob(project, job)) return false;
      }
      return true;
    });
  });
}

int RunContinue(const ParsedArguments& args) {
  return WithProject(args, [&](CliSession& session, const std::string& project) -> int {
    const std::string rowText = args.positional.size() > 1 ? args.positional[1] : "1";
    return RunDownloadSession(session, args, project, [&](TDownloadControl& control) {
      int row = 0;
      if (!QueueRow(control, rowText, row)) return false;
      control.ContinueDownload(row);
      return true;
    });
  });
}

int RunAborted(const ParsedArguments& args) {
  return WithProject(args, [&](CliSession& session, const std::string& project) -> int {
    return RunDownloadSession(session, args, project, [&](TDownloadControl& control) {
      if (control.Queue().Count() == 0) {
        ReportError("the queue of \"" + project + "\" is empty");
        return false;
      }
      control.ContinueAborted();
      return true;
    });
  });
}

int RunReload(const ParsedArguments& args) {
  return WithProject(args, [&](CliSession& session, const std::string& project) -> int {
    return RunDownloadSession(session, args, project, [&](TDownloadControl& control) {
      int row = 0;
      if (!QueueRow(control, args.positional[1], row)) return false;
      control.ReloadEntry(row - 1);
      return true;
    });
  });
}

}  // namespace kestrix
