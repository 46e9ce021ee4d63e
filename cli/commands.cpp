#include "cli/commands.h"

#include <array>

#include "cli/job_options.h"

namespace kestrix {

namespace {

constexpr std::array kProjectOption = {
    OptionSpec{"project", "NAME", "project to use (default: the URL's host name)"},
};

constexpr std::array kFolderOption = {
    OptionSpec{"folder", "DIR", "download folder the project's history lies in"},
};

constexpr std::array kFormatOption = {
    OptionSpec{"format", "tsv|json", "one link a line: tab-separated (default) or JSON"},
};

constexpr size_t kAny = static_cast<size_t>(-1);

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"mirror",
       "URL [options]",
       "download a site into a project named after its host",
       "Creates the project when it does not exist (named after the URL's host unless --project\n"
       "is given), stores a job for URL with the job options given (a job for the same URL is\n"
       "updated), starts it and runs until the queue is finished or Ctrl-C stops it.\n"
       "By default the copy is complete and browsable offline: every page under the starting\n"
       "path at any depth, with its images, style sheets and embedded objects; links rewritten\n"
       "to the saved files, links to what was not saved pointing to the web, and the site's\n"
       "folders replicated. --depth N limits the depth; the --no-... options below switch\n"
       "the rest off one by one.",
       {kProjectOption, MirrorOptionSpecs(), JobOptionSpecs(), RunOptionSpecs(), WarcOptionSpecs()},
       1,
       1,
       RunMirror},
      {"download",
       "PROJECT [JOB...] [run options]",
       "start the project's jobs (all, or the numbers given)",
       "Starts the given jobs of PROJECT (numbers as `jobs PROJECT` shows them; all jobs when\n"
       "none is given). Documents already saved are asked for with their date, so only what\n"
       "changed is transferred again.",
       {RunOptionSpecs(), WarcOptionSpecs()},
       1,
       kAny,
       RunDownload},
      {"continue",
       "PROJECT [ROW] [run options]",
       "continue the project's queue from a row",
       "Fetches queue row ROW (1 when not given) again whole, and the rows after it in order.",
       {RunOptionSpecs(), WarcOptionSpecs()},
       1,
       2,
       RunContinue},
      {"aborted",
       "PROJECT [run options]",
       "fetch again the entries that were stopped or failed to connect",
       "Restarts every queue entry that was aborted, reset, refused or unreachable, resuming\n"
       "partial files, and then goes on with the rest of the queue.",
       {RunOptionSpecs(), WarcOptionSpecs()},
       1,
       1,
       RunAborted},
      {"reload",
       "PROJECT ROW [run options]",
       "fetch one queue row again",
       "Fetches queue row ROW again, whole and without a date condition, then goes on with the\n"
       "rest of the queue.",
       {RunOptionSpecs(), WarcOptionSpecs()},
       2,
       2,
       RunReload},
      {"test",
       "PROJECT [JOB] [URL] [--format tsv|json] [run options]",
       "list the links of a job's page with the verdict a download gives each",
       "Fetches the starting page of job JOB of PROJECT (1 when not given), or URL with that\n"
       "job's settings, into the project's LinkCheck folder, and prints each of its links:\n"
       "kind, enabled or disabled, URL and the reason a disabled link is not followed.",
       {kFormatOption, RunOptionSpecs()},
       1,
       3,
       RunTest},
      {"projects",
       "",
       "list the projects",
       "Lists the projects in their stored order.",
       {},
       0,
       0,
       RunProjects},
      {"jobs",
       "PROJECT",
       "list a project's jobs",
       "Lists the jobs of PROJECT with their numbers and starting URLs.",
       {},
       1,
       1,
       RunJobs},
      {"add-project",
       "NAME",
       "add an empty project",
       "Adds an empty project called NAME.",
       {},
       1,
       1,
       RunAddProject},
      {"add-job",
       "PROJECT URL [job options]",
       "add a job to a project",
       "Adds a job for URL to PROJECT with the job options given.",
       {JobOptionSpecs()},
       2,
       2,
       RunAddJob},
      {"remove-job",
       "PROJECT N",
       "remove job N of a project",
       "Removes job N of PROJECT; the jobs after it move up one number.",
       {},
       2,
       2,
       RunRemoveJob},
      {"summary",
       "PROJECT [--folder DIR]",
       "show the project's queue summary",
       "Shows count, size and errors by kind of link, the pages per host and the failed\n"
       "entries of PROJECT's queue, as saved in its history file.",
       {kFolderOption},
       1,
       1,
       RunSummary},
      {"warc-list",
       "FILE",
       "list the records of a web archive",
       "Prints one line per record of the web archive FILE (.warc.gz or .warc): its type,\n"
       "target URI, HTTP status and length, separated by tabs; \"-\" for what a record has not.\n"
       "Fails on a file that is not a web archive or is cut short or damaged after its last\n"
       "whole record.",
       {},
       1,
       1,
       RunWarcList},
      {"queue",
       "PROJECT [--folder DIR]",
       "show the project's queue rows",
       "Shows the rows of PROJECT's queue (URL, linked text, size, date, state), as saved in\n"
       "its history file. Columns are separated by tabs.",
       {kFolderOption},
       1,
       1,
       RunQueue},
  };
  return table;
}

}  // namespace

std::span<const Command> Commands() {
  return Table();
}

const Command* FindCommand(std::string_view name) {
  for (const Command& command : Table()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

}  // namespace kestrix
