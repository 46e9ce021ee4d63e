// kestrix-cli: the command-line front end. Picks the command, checks its
// arguments, and hands over to the command's handler.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/help_text.h"

using namespace kestrix;

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (words.empty()) {
    PrintGeneralHelp(std::cerr);
    return kExitUsage;
  }
  const std::string& name = words.front();
  if (name == "-h" || name == "--help" || name == "help") {
    if (words.size() > 1) {
      if (const Command* command = FindCommand(words[1])) {
        PrintCommandHelp(*command, std::cout);
        return kExitOk;
      }
    }
    PrintGeneralHelp(std::cout);
    return kExitOk;
  }
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::cerr << "kestrix-cli: unknown command \"" << name
              << "\"; 'kestrix-cli --help' lists the commands.\n";
    return kExitUsage;
  }
  std::span<const std::string> rest(words.data() + 1, words.size() - 1);
  ParseOutcome parsed = ParseArguments(rest, command->groups);
  const std::string usageHint =
      "; 'kestrix-cli " + std::string(command->name) + " --help' shows how to use it.\n";
  if (!parsed.error.empty()) {
    std::cerr << "kestrix-cli " << command->name << ": " << parsed.error << usageHint;
    return kExitUsage;
  }
  if (parsed.arguments.help) {
    PrintCommandHelp(*command, std::cout);
    return kExitOk;
  }
  const size_t count = parsed.arguments.positional.size();
  if (count < command->minPositional || count > command->maxPositional) {
    std::cerr << "kestrix-cli " << command->name << ": "
              << (count < command->minPositional ? "missing arguments" : "too many arguments")
              << " (expected " << command->name << " " << command->synopsis << ")" << usageHint;
    return kExitUsage;
  }
  try {
    return command->handler(parsed.arguments);
  } catch (const std::exception& error) {
    // Nothing the engine or the store raises is meant to reach here; when
    // something does, the user gets its text instead of an abort.
    std::cerr << "kestrix-cli " << command->name << ": " << error.what() << "\n";
    return kExitFailure;
  }
}
