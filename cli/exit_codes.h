// The exit statuses of kestrix-cli, listed in its --help.
#pragma once

namespace kestrix {

enum ExitCode : int {
  kExitOk = 0,          // done; for a download: every entry ended well
  kExitFailure = 1,     // the command could not be carried out (see the message)
  kExitUsage = 2,       // the command line is wrong
  kExitStopped = 3,     // the user or a limit stopped the download
  kExitRunning = 4,     // another instance is running
  kExitSomeFailed = 5,  // the download ended, but some entries failed
};

}  // namespace kestrix
