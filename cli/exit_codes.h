// The exit statuses of kestrix-cli, listed in its --help.
#pragma once

namespace kestrix {

enum ExitCode : int {
  kExitOk = 0,       // done; for a download: the whole queue was processed
  kExitFailure = 1,  // the command could not be carried out (see the message)
  kExitUsage = 2,    // the command line is wrong
  kExitStopped = 3,  // the download stopped before the queue was finished
  kExitRunning = 4,  // another instance is running
};

}  // namespace kestrix
