// The table of kestrix-cli's commands: what each is called, what it accepts
// and which function carries it out.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "cli/arguments.h"

namespace kestrix {

using CommandHandler = int (*)(const ParsedArguments& args);

struct Command {
  std::string_view name;
  std::string_view synopsis;  // the arguments after the command name
  std::string_view summary;   // one line for the command list
  std::string_view details;   // the paragraph of the command's own --help
  std::vector<std::span<const OptionSpec>> groups;
  size_t minPositional;
  size_t maxPositional;
  CommandHandler handler;
};

std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);

// Handlers, one group of commands per source file.
int RunProjects(const ParsedArguments& args);
int RunJobs(const ParsedArguments& args);
int RunAddProject(const ParsedArguments& args);
int RunAddJob(const ParsedArguments& args);
int RunRemoveJob(const ParsedArguments& args);
int RunSummary(const ParsedArguments& args);
int RunQueue(const ParsedArguments& args);
int RunMirror(const ParsedArguments& args);
int RunDownload(const ParsedArguments& args);
int RunContinue(const ParsedArguments& args);
int RunAborted(const ParsedArguments& args);
int RunReload(const ParsedArguments& args);
int RunTest(const ParsedArguments& args);
int RunWarcList(const ParsedArguments& args);

}  // namespace kestrix
