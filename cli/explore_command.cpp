// The links exploration test on the command line: fetches one page of a job
// into the project's test folder and prints every link with its verdict.
#include <QCoreApplication>
#include <QTimer>
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/instance_guard.h"
#include "cli/job_options.h"
#include "cli/script_support.h"
#include "core/job_url.h"
#include "core/offline_state.h"
#include "exploration/explorer.h"
#include "links/html_items.h"
#include "links/html_parser.h"
#include "links/script_resolver.h"

namespace kestrix {

namespace {

// The longest a fetch may take on the command line; the job's time-out
// normally ends it well before.
constexpr int kFetchLimitMs = 10 * 60 * 1000;

const char* KindName(int32_t kind) {
  static constexpr const char* kNames[] = {"",       "A",    "IMG",  "FRAME", "IFRAME",
                                           "FORM",   "BASE", "AREA", "META",  "EMBED",
                                           "SCRIPT", "LINK", "FTP"};
  return kind >= 0 && kind <= kKindFtp ? kNames[kind] : "";
}

// Tabs and line breaks inside a field would break the one-link-a-line form.
std::string TsvField(const std::string& text) {
  std::string out;
  for (char c : text) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void PrintLink(const TTestLink& link, bool json) {
  const std::string reason = link.Enabled ? "" : link.Message;
  if (json) {
    std::cout << "{\"kind\":" << JsonString(KindName(link.Kind))
              << ",\"enabled\":" << (link.Enabled ? "true" : "false")
              << ",\"url\":" << JsonString(link.Url) << ",\"reason\":" << JsonString(reason)
              << "}\n";
  } else {
    std::cout << KindName(link.Kind) << "\t" << (link.Enabled ? "enabled" : "disabled") << "\t"
              << TsvField(link.Url) << "\t" << TsvField(reason) << "\n";
  }
}

}  // namespace

int RunTest(const ParsedArguments& args) {
  const std::string format = args.Value("format").value_or("tsv");
  if (format != "tsv" && format != "json") {
    ReportError("--format takes tsv or json, not \"" + format + "\"");
    return kExitUsage;
  }
  InstanceGuard guard;
  if (!guard.First()) return kExitRunning;
  CliSession session;
  std::string project = args.positional[0];
  if (!session.ResolveProject(project)) return kExitFailure;
  TGlobalOptions& options = session.Options();
  if (std::string error = ApplyRunOptions(args, options); !error.empty()) {
    ReportError(error);
    return kExitUsage;
  }
  const int jobCount = session.Store().JobCount(project);
  if (jobCount == 0) {
    ReportError("project \"" + project + "\" has no jobs ('kestrix-cli add-job' adds one)");
    return kExitFailure;
  }
  int jobNumber = 1;
  if (args.positional.size() > 1) {
    std::optional<int> number = ParseBoundedInt(args.positional[1], 1, jobCount);
    if (!number) {
      ReportError("\"" + args.positional[1] + "\" is not a job number (1 to " +
                  std::to_string(jobCount) + ")");
      return kExitFailure;
    }
    jobNumber = *number;
  }
  TJobRecord job;
  session.Store().GetJob(project, jobNumber, job);
  job.ProjectName = project;
  if (args.positional.size() > 2) {
    job.editUrl = NormaliseJobUrl(args.positional[2]);
    if (job.editUrl.empty()) {
      ReportError("\"" + args.positional[2] + "\" is not a URL with a host name");
      return kExitUsage;
    }
  }

  const ScriptSupport scripts(job.checkLoadScript);
  int argc = 1;
  char name[] = "kestrix-cli";
  char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app = scripts.MakeApplication(argc, argv);
  OfflineState offline;
  std::unique_ptr<ScriptResolver> resolver;
  if (ScriptResolverFactory factory = scripts.ResolverFactory(offline)) resolver = factory();
  if (!resolver) resolver = std::make_unique<NullScriptResolver>();
  THTMLParser parser;
  std::string failure;
  int exitCode = kExitOk;
  {
    TExplorer test(options, parser, *resolver);
    test.OnLog = [&](const std::string& line) { failure = line; };
    test.OnFetchDone = [&] { app->quit(); };
    test.CreateNewThread(job, jobNumber);
    if (!test.GetUrl()) {
      ReportError(failure.empty() ? job.editUrl + ": the request could not be started" : failure);
      return kExitFailure;
    }
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] { test.Stop(); });
    limit.start(kFetchLimitMs);
    app->exec();
    const TRetriveRec& page = test.Current();
    if (page.ErrorCode != 0 || page.ReceivedSize == 0 || test.StatusCode() >= 400) {
      ReportError(failure.empty() ? job.editUrl + ": nothing received" : failure);
      exitCode = kExitFailure;
    } else if (!test.CanParse()) {
      ReportError(test.HtmlText());
      exitCode = kExitFailure;
    } else {
      for (const TTestLink& link : test.Links()) PrintLink(link, format == "json");
    }
  }
  return exitCode;
}

}  // namespace kestrix
