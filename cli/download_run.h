// Running the download engine from the command line: builds the engine over
// the session's store and options, loads the project's history, starts the
// command's work, shows progress until the queue is finished or Ctrl-C
// stops it, and shuts down in order (stop, save the history, save the
// store; the options only when no run-only option was given).
#pragma once

#include <functional>
#include <string>

#include "cli/arguments.h"

namespace kestrix {

class CliSession;
class TDownloadControl;

// Starts the command's work on a control whose project history is loaded;
// prints the reason and returns false when it cannot.
using DownloadStart = std::function<bool(TDownloadControl& control)>;

// Returns the exit status: 0 when the queue was finished, 3 when the
// download stopped before, 1 or 2 when it could not start.
int RunDownloadSession(CliSession& session, const ParsedArguments& args, const std::string& project,
                       const DownloadStart& start);

}  // namespace kestrix
