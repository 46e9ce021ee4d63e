// Runs the built kestrix-cli as a child process with an environment of its
// own (settings file, lock folder and download folder inside a scratch
// folder), so tests never touch the user's settings or a running instance.
#pragma once

#include <sys/types.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace kestrix::test {

struct TCliResult {
  int ExitCode = -1;  // -1 when the process did not end in time and was killed
  std::string Out;
  std::string Err;
};

class TCliRunner {
 public:
  TCliRunner();

  const std::string& Folder() const { return scratch_.Path(); }
  // The download folder the runs use by default.
  std::string DownloadFolder() const { return scratch_.Path() + "dl/"; }
  std::string SettingsFile() const { return scratch_.Path() + "kestrix.ini"; }

  // Sets an environment variable for the runs that follow.
  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }

  // Runs to the end, killing the process after `timeoutMs`.
  TCliResult Run(const std::vector<std::string>& args, int timeoutMs = 30000);

  // Starts a run and returns at once; Finish waits for it.
  pid_t Start(const std::vector<std::string>& args);
  TCliResult Finish(pid_t pid, int timeoutMs = 30000);

 private:
  TScratchDir scratch_;
  std::map<std::string, std::string> env_;
  int runs_ = 0;
  std::string outPath_, errPath_;
};

// Every file under `folder` but history files, as paths relative to it.
std::set<std::string> SavedFiles(const std::string& folder);

}  // namespace kestrix::test
