// Renaming a project's data on disk: its folder under the download folder
// and the history file inside it, which is named after the project and
// records every entry's local folder by its full path.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrix {

// Moves `from` to `to`, which must not exist yet; false when it could not.
using TRenamePath = std::function<bool(const std::string& from, const std::string& to)>;
bool RenameNoReplace(const std::string& from, const std::string& to);

// Renames the data of project `oldName` under `downloadFolder` (ending in
// "/") to `newName`, keeping the new name's exact case: the history file
// becomes newName + ".his" with every stored local folder below the old
// project folder moved below the new one, so that a later run writes into
// the renamed folder, and the folder takes the new name. Both happen or
// neither: when the folder cannot be renamed, the new history file is
// removed again and the old one was never touched. A project without a
// folder has nothing on disk to rename. An unusable new name or an existing
// target renames nothing. Empty on success, otherwise the text to show.
std::string RenameProjectData(const std::string& downloadFolder, const std::string& oldName,
                              const std::string& newName,
                              const TRenamePath& renameFolder = RenameNoReplace);

// History bytes with every entry's local folder that begins with `oldPrefix`
// moved onto `newPrefix`. Bytes from the first record that cannot be read
// on are kept as they are, so nothing of a damaged file is lost.
std::string RebaseHistoryFolders(std::string_view bytes, std::string_view oldPrefix,
                                 std::string_view newPrefix);

}  // namespace kestrix
