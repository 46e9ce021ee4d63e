// Folder helpers used wherever download paths are built or downloaded data
// is removed.
#pragma once

#include <string>

namespace kestrix {

bool DirectoryExists(const std::string& path);

// Creates the folder and every missing parent; true when the folder exists
// afterwards.
bool ForceDirectories(const std::string& path);
// Why files could not be saved below `folder`: empty when it is a folder
// that can be written to, or when the nearest part of it that exists is one
// (the rest can then be made); otherwise the system's reason. Makes nothing.
std::string FolderProblem(const std::string& folder);

// The path ending in "/"; an empty path stays empty.
std::string AddBackslash(const std::string& path);

// Deletes everything inside `path`, recursively, and the folder itself when
// `deleteItself` is set. Entries whose names begin with "." are left alone and
// keep their folder in place. A symbolic link is removed as a link; what it
// points to is never touched. True when everything asked for was deleted.
bool DeleteDirectory(const std::string& path, bool deleteItself);

// Whether a file's name ends in ".htm" or ".html", in any case: the names a
// browser opens from disk as a page.
bool NamedAsHtml(const std::string& path);

}  // namespace kestrix
