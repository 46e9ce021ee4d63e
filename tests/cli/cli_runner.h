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
  // For runs that start the hidden browser: the web engine frees some objects
  // with a size other than the one it allocated them with, so only that
  // sanitizer check is relaxed.
  void AllowWebEngine();

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

// The nginx setting the documentation-shaped fixture site is served with:
// one file has no extension and is sent with its type, as programs that
// serve pictures do.
inline constexpr char kDocSiteNginx[] = "location = /_static/img/badge { default_type image/png; }";

// Every file under `folder` but the project's own (history, cookies, kept
// robots.txt answers), as paths relative to it.
std::set<std::string> SavedFiles(const std::string& folder);

// Runs the rows of tests/fixtures/cli/refusals.txt whose table is `table`
// (@WEB@ standing for `web`): each exits with its status and says its text
// on the error output, nothing on the standard output.
void ExpectRefusals(TCliRunner& cli, const std::string& table, const std::string& web = "");

// How many of `lines` hold `text`.
int CountWith(const std::vector<std::string>& lines, const std::string& text);

}  // namespace kestrix::test
