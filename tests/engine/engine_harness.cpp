#include "tests/engine/engine_harness.h"

#include <algorithm>
#include <filesystem>

#include "core/file_util.h"
#include "tests/support/event_wait.h"

namespace kestrix::test {

TEngineHarness::TEngineHarness(int threads) : Ini(Dir.Path() + "kestrix.ini"), Store(Ini) {
  Options.DownLoadFolder = Dir.Path() + "download/";
  ForceDirectories(Options.DownLoadFolder);
  Options.ThreadCount = threads;
  Options.TimeOut = 10;
  // Only the tests about robots.txt ask for it: every other test's server
  // log and folder hold just what its own scenario makes.
  Options.FollowRobots = false;
  Store.AddProject(kProject);
  Restart();
}

void TEngineHarness::Restart() {
  Control.reset();
  State = std::make_unique<TEngineState>();
  Observer.Queue = &State->Queue;
  Control = std::make_unique<TDownloadControl>(
      TEngineContext{Options, Store, *State, Parser, Observer, Scripts});
  Control->OpenProject(kProject);
}

int TEngineHarness::AddJob(TJobRecord job) {
  job.ProjectName = kProject;
  Store.AddJob(job);
  return Store.JobCount(kProject);
}

bool TEngineHarness::RunToEnd(int timeoutMs) {
  return RunUntil([this] { return !Observer.Running && Control->BusyWorkers() == 0; }, timeoutMs);
}

bool TEngineHarness::Mirror(int timeoutMs) {
  if (!Control->StartJob(kProject, 1)) return false;
  return RunToEnd(timeoutMs);
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) {
      files.push_back(std::filesystem::relative(it->path(), folder).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool TScenarioCrawlTest::Serve(const std::string& scenarioJson) {
  server_ = std::make_unique<TFaultServer>(scenarioJson);
  return server_->Start();
}

std::string ScenarioFile(const std::string& name) {
  return ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/scenarios/" + name);
}

std::unique_ptr<TEngineHarness> TScenarioCrawlTest::Engine(
    const std::string& target, int threads, const std::function<void(TJobRecord&)>& edit) {
  auto engine = std::make_unique<TEngineHarness>(threads);
  TJobRecord job;
  job.editUrl = target.starts_with("/") ? server_->BaseUrl() + target : target;
  job.editDepth = 5;
  job.checkLocalize = true;
  if (edit) edit(job);
  engine->AddJob(job);
  return engine;
}

std::vector<TRecordedRequest> TScenarioCrawlTest::Requests(const std::string& line, size_t from,
                                                           const TFaultServer* server) {
  std::vector<TRecordedRequest> all = (server ? server : server_.get())->Requests();
  all.erase(all.begin(), all.begin() + static_cast<ptrdiff_t>(std::min(from, all.size())));
  std::erase_if(all, [&](const auto& r) { return !r.RequestLine.starts_with(line); });
  return all;
}

}  // namespace kestrix::test
