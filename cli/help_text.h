// The texts of kestrix-cli --help and of each command's --help.
#pragma once

#include <ostream>

namespace kestrix {

struct Command;

void PrintGeneralHelp(std::ostream& out);
void PrintCommandHelp(const Command& command, std::ostream& out);

}  // namespace kestrix
