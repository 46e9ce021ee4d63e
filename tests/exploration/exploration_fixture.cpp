#include "tests/exploration/exploration_fixture.h"

#include "tests/support/event_wait.h"

namespace kestrix::test {

TExplorationRig::TExplorationRig() : Test(Options, Parser, Resolver) {
  Options.DownLoadFolder = Dir.Path() + "dl/";
  Options.TimeOut = 10;
  Test.OnStatus = [this](const std::string& text) { LastStatus = text; };
  Test.OnFetchDone = [this] { ++Fetches; };
}

void TExplorationRig::Start(TJobRecord job, const std::string& url) {
  job.ProjectName = kTestProject;
  job.editUrl = url;
  Test.CreateNewThread(job, 1);
}

bool TExplorationRig::WaitDone(int timeoutMs) {
  return RunUntil([this] { return !Test.Running(); }, timeoutMs);
}

bool TExplorationRig::Fetch() {
  return Test.GetUrl() && WaitDone();
}

const TTestLink* TExplorationRig::Find(const std::string& url) const {
  for (const TTestLink& link : Test.Links()) {
    if (link.Url == url) return &link;
  }
  return nullptr;
}

std::set<std::string> TExplorationRig::EnabledUrls() const {
  std::set<std::string> urls;
  for (const TTestLink& link : Test.Links()) {
    if (link.Enabled) urls.insert(link.Url);
  }
  return urls;
}

TJobRecord DeepJob() {
  TJobRecord job;
  job.editDepth = 3;
  job.checkLoadImg = true;
  job.checkLoadEmbed = true;
  job.checkLoadStyle = true;
  job.checkLoadScript = false;
  job.radioThisServer = true;
  job.radioThisPath = false;
  return job;
}

}  // namespace kestrix::test
