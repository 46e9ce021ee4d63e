// Which project names the store accepts. A project name becomes a folder
// under the download folder, a key of section "Projects" and a section of
// its own, so a name that could step out of the download folder or break
// the settings file's line structure is refused.
#pragma once

#include <string>

namespace kestrix {

// Empty when `name` can be used; otherwise the text to show the user.
std::string ProjectNameError(const std::string& name);

// Names compared as the settings file compares sections: ASCII letters
// without regard to case.
bool SameProjectName(const std::string& a, const std::string& b);

}  // namespace kestrix
