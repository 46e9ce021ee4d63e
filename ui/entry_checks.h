// What the main window accepts as a project name or a job's starting URL,
// wherever the text comes from (typed, pasted, dropped, or handed back by a
// dialog). A project name becomes a folder under the download folder; both
// texts are stored in a job's text form, whose fields the grave accent
// separates.
#pragma once

#include <string>

namespace kestrix {

// Empty when the name can be used; otherwise the text to show the user.
std::string ProjectNameProblem(const std::string& name);

// Empty when the URL can start a job; otherwise the text to show the user.
std::string JobUrlProblem(const std::string& url);

// Leading and trailing blanks, tabs and line breaks removed.
std::string Trimmed(const std::string& text);

}  // namespace kestrix
