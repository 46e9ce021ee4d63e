// One download engine with everything it is built from, in a scratch folder,
// and an observer that records what the engine reported.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
#include "engine/queue_texts.h"
#include "links/html_parser.h"
#include "tests/support/fault_server.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {

// Records what the engine reported, in the texts the front ends make of it.
class TRecordingObserver : public EngineObserver {
 public:
  void QueueRowsShown(int32_t entries) override {
    Loaded = std::min(Loaded, entries);
    std::erase_if(Rows, [entries](const auto& row) { return row.first >= entries; });
  }
  void QueueLoaded(int32_t entries) override {
    Rows.clear();
    Loaded = entries;
  }
  void QueueCleared() override {
    Rows.clear();
    Loaded = 0;
    ++Clears;
  }
  void EntryChanged(int32_t index, const TEntryEvent& event) override {
    const auto [row, added] = Rows.try_emplace(index);
    if (added) row->second.Loaded = index < Loaded;
    ApplyEntryEvent(row->second, event);
    // A queued entry only shows its URL; its state cell is not written.
    if (event.Phase != TEntryPhase::Queued) {
      StateTexts[index + 1].push_back(Cell(index + 1, static_cast<int>(TQueueColumn::State)));
    }
  }
  void JobStateChanged(int jobNumber, TJobState state) override {
    JobStates.push_back(std::to_string(jobNumber) + " " + JobStateText(state));
  }
  void JobStatesReplaced(TJobState from, TJobState to) override {
    JobStates.push_back(std::string(JobStateText(from)) + " -> " + JobStateText(to));
  }
  void QueueStatusChanged(int32_t processed, int32_t queued) override {
    Status[2] = ReceivedStatusText(processed);
    Status[3] = QueueStatusText(queued);
    if (queued <= processed) Status[0] = kQueueDoneText;
  }
  void RunningChanged(bool running) override { Running = running; }
  void QueueFinished(const std::string& project) override { Finished.push_back(project); }
  void NoticeReported(const TEngineNotice& notice) override {
    Errors.push_back(NoticeText(notice));
  }

  // The text of a grid cell; entries start at row 1.
  std::string Cell(int row, int column) const {
    const int32_t index = row - 1;
    if (Queue == nullptr || index < 0 || index >= Queue->Count()) return {};
    static const TRowFacts kBlank;
    TRowFacts loaded;
    loaded.Loaded = true;
    const auto found = Rows.find(index);
    const TRowFacts& facts = found != Rows.end() ? found->second : index < Loaded ? loaded : kBlank;
    return QueueCellText(static_cast<TQueueColumn>(column), Queue->Entry(index), facts);
  }

  const UrlList* Queue = nullptr;  // the queue the rows show
  std::map<int32_t, TRowFacts> Rows;
  int32_t Loaded = 0;
  int Clears = 0;
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

// The text of tests/fixtures/scenarios/`name`, a scenario of our fault server.
std::string ScenarioFile(const std::string& name);

// Crawls against one fault server of ours, started for a whole suite by its
// SetUpTestSuite with a scenario of tests/fixtures/scenarios.
class TScenarioCrawlTest : public ::testing::Test {
 protected:
  // False when the server did not start: the suite is then skipped.
  static bool Serve(const std::string& scenarioJson);
  static void TearDownTestSuite() { server_.reset(); }

  // An engine of `threads` workers with one job of depth 5 for `target` (a
  // path on the server or a whole URL), its pages made local; `edit`
  // changes the job.
  static std::unique_ptr<TEngineHarness> Engine(const std::string& target, int threads = 1,
                                                const std::function<void(TJobRecord&)>& edit = {});
  // The requests `server` (default: server_) logged from the `from`-th on
  // whose request line begins with `line`.
  static std::vector<TRecordedRequest> Requests(const std::string& line, size_t from = 0,
                                                const TFaultServer* server = nullptr);

  inline static std::unique_ptr<TFaultServer> server_;
};

}  // namespace kestrix::test
