// The commands that show a project's queue as its history file holds it.
#include <iomanip>
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/job_options.h"
#include "engine/history_file.h"
#include "engine/queue_summary.h"
#include "engine/queue_texts.h"

namespace kestrix {

namespace {

// Loads the project's history into `state`; prints why and returns false when
// there is none to show.
bool LoadProjectHistory(const ParsedArguments& args, std::string& project, TEngineState& state) {
  CliSession session;
  if (!session.ResolveProject(project)) return false;
  TGlobalOptions& options = session.Options();
  if (std::string error = ApplyRunOptions(args, options); !error.empty()) {
    ReportError(error);
    return false;
  }
  THistoryLoad load = LoadHistory(options.DownLoadFolder, project, &session.Store(), state);
  if (!load.Found) {
    ReportError("project \"" + project + "\" has no history in " + options.DownLoadFolder +
                " yet (nothing was downloaded, or --folder names another download folder)");
    return false;
  }
  if (!load.Complete) {
    ReportError("warning: the history file of \"" + project + "\" is cut short; " +
                std::to_string(load.Entries) + " entries could be read");
  }
  return true;
}

// A cell of tab-separated output must not hold a tab or a line break.
std::string Cell(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// Zero counters leave their cells empty, as on the Summary page.
std::string Figure(int64_t value) {
  return value > 0 ? std::to_string(value) : std::string();
}

void PrintSummary(const TQueueSummary& summary, std::ostream& out) {
  out << "Pages:\n"
      << std::left << std::setw(14) << "Type" << std::right << std::setw(8) << "Count"
      << std::setw(14) << "Size" << std::setw(8) << "Errors"
      << "\n";
  for (const TSummaryRow& row : summary.Rows) {
    out << std::left << std::setw(14) << row.Name << std::right << std::setw(8) << Figure(row.Count)
        << std::setw(14) << Figure(row.Size) << std::setw(8) << Figure(row.Errors) << "\n";
  }
  out << "\nHosts: " << summary.Hosts.size() << "\n";
  for (const THostPages& host : summary.Hosts) {
    out << std::left << std::setw(36) << host.Host << std::right << std::setw(8) << host.Pages
        << "\n";
  }
  out << "\nErrors: " << summary.Failed.size() << "\n";
  for (const TFailedEntry& failed : summary.Failed) {
    out << Cell(failed.Url) << "\t" << failed.Error << "\n";
  }
}

}  // namespace

int RunSummary(const ParsedArguments& args) {
  std::string project = args.positional[0];
  TEngineState state;
  if (!LoadProjectHistory(args, project, state)) return kExitFailure;
  PrintSummary(SummariseQueue(state.Queue), std::cout);
  return kExitOk;
}

int RunQueue(const ParsedArguments& args) {
  std::string project = args.positional[0];
  TEngineState state;
  if (!LoadProjectHistory(args, project, state)) return kExitFailure;
  std::cout << "Row";
  for (int column = 0; column < kQueueColumns; ++column) {
    std::cout << "\t" << QueueColumnTitle(static_cast<TQueueColumn>(column));
  }
  std::cout << "\n";
  for (int32_t i = 0; i < state.Queue.Count(); ++i) {
    const TRetriveRec& entry = state.Queue.Entry(i);
    std::array<std::string, kQueueColumns> cells = LoadedRowTexts(entry);
    std::cout << i + 1;
    for (std::string& cell : cells) std::cout << "\t" << Cell(std::move(cell));
    std::cout << "\n";
  }
  return kExitOk;
}

}  // namespace kestrix
