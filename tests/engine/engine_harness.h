// One download engine with everything it is built from, in a scratch folder,
// and an observer that records what the engine reported.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "links/html_parser.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {

class TRecordingObserver : public EngineObserver {
 public:
  void QueueCellChanged(int row, int column, const std::string& text) override {
    Cells[{row, column}] = text;
    if (column == 4) StateTexts[row].push_back(text);
  }
  void JobStateChanged(int jobNumber, const std::string& state) override {
    JobStates.push_back(std::to_string(jobNumber) + " " + state);
  }
  void JobStatesReplaced(const std::string& from, const std::string& to) override {
    JobStates.push_back(from + " -> " + to);
  }
  void StatusText(int panel, const std::string& text) override { Status[panel] = text; }
  void RunningChanged(bool running) override { Running = running; }
  void QueueFinished(const std::string& project) override { Finished.push_back(project); }
  void ErrorReported(const std::string& text) override { Errors.push_back(text); }

  std::string Cell(int row, int column) const {
    const auto it = Cells.find({row, column});
    return it == Cells.end() ? std::string() : it->second;
  }

  std::map<std::pair<int, int>, std::string> Cells;
  std::map<int, std::vector<std::string>> StateTexts;
  std::vector<std::string> JobStates;
  std::map<int, std::string> Status;
  std::vector<std::string> Finished;
  std::vector<std::string> Errors;
  bool Running = false;
};

inline constexpr char kProject[] = "site";

class TEngineHarness {
 public:
  explicit TEngineHarness(int threads);

  // Adds a job of project kProject; returns its number.
  int AddJob(TJobRecord job);
  // Runs the event loop until the download has ended; false on time-out.
  bool RunToEnd(int timeoutMs = 30000);
  // Starts job 1 and runs to its end.
  bool Mirror(int timeoutMs = 30000);
  // A second engine over the same folders, as after a restart: the queue
  // comes back from the history file.
  void Restart();

  std::string ProjectFolder() const { return Options.DownLoadFolder + kProject + "/"; }
  TRetriveRec& Entry(int index) { return State->Queue.Entry(index); }
  UrlList& Queue() { return State->Queue; }

  TScratchDir Dir;
  IniFile Ini;
  TJobList Store;
  TGlobalOptions Options;
  std::unique_ptr<TEngineState> State;
  THTMLParser Parser;
  TRecordingObserver Observer;
  ScriptResolverFactory Scripts;  // used from the next Restart on
  // Last, so that it ends first, before what it was built from.
  std::unique_ptr<TDownloadControl> Control;
};

// Every regular file below `folder`, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder);

}  // namespace kestrix::test
