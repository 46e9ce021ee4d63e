#include "cli/help_text.h"

#include <iomanip>

#include "cli/commands.h"

namespace kestrix {

namespace {

constexpr const char* kFooter =
    "Settings (projects, jobs, options) are shared with the desktop program; the\n"
    "environment variable KESTRIX_SETTINGS names another settings file.\n"
    "Run options (--threads, --folder, --proxy, --agent, --retry, --timeout,\n"
    "--accept-unverified, --ca-file, --no-keep-alive, --http1.0, --no-compression,\n"
    "--load-cookies, --save-cookies, --ignore-robots, --host-connections, --wait,\n"
    "--random-wait, --limit-rate, the --max-... limits and --warc, --warc-max-size)\n"
    "apply to this run only:\n"
    "a run that uses one leaves the stored options untouched.\n"
    "\n"
    "Exit status:\n"
    "  0  done; for a download, every entry ended well (saved or not modified)\n"
    "  1  the command failed (the message says why); for a download, nothing\n"
    "     could be fetched because the start page failed, or the download\n"
    "     folder cannot be made\n"
    "  2  the command line is wrong\n"
    "  3  the download was stopped: by Ctrl-C, by a --max-total, --max-files or\n"
    "     --max-time limit, or by a full disk; `aborted` goes on\n"
    "  4  another instance of Kestrix is running\n"
    "  5  the download ended but some entries failed (an error reply, a refused\n"
    "     connection, a certificate, a file limit, connection resets);\n"
    "     `queue` shows which\n";

void PrintOptions(std::span<const OptionSpec> specs, std::ostream& out) {
  for (const OptionSpec& spec : specs) {
    std::string left = "  --" + std::string(spec.name);
    if (!spec.valueName.empty()) left += " " + std::string(spec.valueName);
    out << std::left << std::setw(30) << left;
    if (left.size() >= 30) out << "\n" << std::setw(30) << "";
    out << spec.help << "\n";
  }
}

}  // namespace

void PrintGeneralHelp(std::ostream& out) {
  out << "Usage: kestrix-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
         "Downloads web sites for offline browsing.\n\nCommands:\n";
  for (const Command& command : Commands()) {
    out << "  " << std::left << std::setw(13) << command.name << command.summary << "\n";
  }
  out << "\n'kestrix-cli COMMAND --help' shows a command's arguments and options.\n\n" << kFooter;
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
  out << "Usage: kestrix-cli " << command.name;
  if (!command.synopsis.empty()) out << " " << command.synopsis;
  out << "\n" << command.details << "\n";
  for (std::span<const OptionSpec> group : command.groups) {
    out << "\n";
    PrintOptions(group, out);
  }
  if (command.groups.size() > 1 || command.name == "add-job") {
    out << "\nA filter LIST holds patterns separated by \";\" (\"*\", \"?\", \"[a-z]\"); giving\n"
           "a list switches that filter on. Given twice, the lists are joined.\n";
  }
  out << "\n" << kFooter;
}

}  // namespace kestrix
