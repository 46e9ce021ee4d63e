// A links exploration test over a scratch download folder, with helpers to
// run its fetches to the end.
#pragma once

#include <set>
#include <string>

#include "core/global_options.h"
#include "core/job_record.h"
#include "exploration/explorer.h"
#include "links/html_parser.h"
#include "links/script_resolver.h"
#include "tests/support/event_wait.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {

inline constexpr char kTestProject[] = "proj";

struct TExplorationRig {
  TExplorationRig() : Test(Options, Parser, Resolver) {
    Options.DownLoadFolder = Dir.Path() + "dl/";
    Options.TimeOut = 10;
    Test.OnStatus = [this](const std::string& text) { LastStatus = text; };
  }
  // A job of kTestProject for `url` with `job`'s other settings.
  void Start(TJobRecord job, const std::string& url) {
    job.ProjectName = kTestProject;
    job.editUrl = url;
    Test.CreateNewThread(job, 1);
  }
  // Runs the event loop until no fetch runs; false on time-out.
  bool WaitDone(int timeoutMs = 15000) {
    return RunUntil([this] { return !Test.Running(); }, timeoutMs);
  }
  // Starts the current entry's fetch and waits for its end.
  bool Fetch() { return Test.GetUrl() && WaitDone(); }
  // The link of `url`, or nullptr.
  const TTestLink* Find(const std::string& url) const {
    for (const TTestLink& link : Test.Links()) {
      if (link.Url == url) return &link;
    }
    return nullptr;
  }
  std::set<std::string> EnabledUrls() const {
    std::set<std::string> urls;
    for (const TTestLink& link : Test.Links()) {
      if (link.Enabled) urls.insert(link.Url);
    }
    return urls;
  }

  TScratchDir Dir;
  TGlobalOptions Options;
  THTMLParser Parser;
  NullScriptResolver Resolver;
  TExplorer Test;
  std::string LastStatus;
};

// A job that follows local links three levels deep with images, frames,
// style sheets and scripts.
inline TJobRecord DeepJob() {
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
