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
#include "tests/support/scratch_dir.h"

namespace kestrix::test {

inline constexpr char kTestProject[] = "proj";

struct TExplorationRig {
  TExplorationRig();
  // A job of kTestProject for `url` with `job`'s other settings.
  void Start(TJobRecord job, const std::string& url);
  // Runs the event loop until no fetch runs; false on time-out.
  bool WaitDone(int timeoutMs = 15000);
  // Starts the current entry's fetch and waits for its end.
  bool Fetch();
  // The link of `url`, or nullptr.
  const TTestLink* Find(const std::string& url) const;
  std::set<std::string> EnabledUrls() const;

  TScratchDir Dir;
  TGlobalOptions Options;
  THTMLParser Parser;
  NullScriptResolver Resolver;
  TExplorer Test;
  std::string LastStatus;
  int Fetches = 0;
};

// A job that follows local links three levels deep with images, frames,
// style sheets and scripts.
TJobRecord DeepJob();

}  // namespace kestrix::test
