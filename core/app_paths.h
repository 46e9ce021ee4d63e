// Where the program keeps its settings and, by default, its downloads. The
// functions take the environment and the program's path as parameters so
// that each rule can be checked without touching the real ones.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrix {

// Looks up an environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process environment.
std::optional<std::string> ProcessEnv(const std::string& name);

// The running program's full path, from /proc/self/exe.
std::string ExecutablePath();

inline constexpr char kSettingsFileName[] = "kestrix.ini";

// The settings file: $KESTRIX_SETTINGS when set and not empty; else
// kestrix.ini beside the program (whatever the program is called: the
// desktop program and the command line share it) when that folder is
// writable; else $XDG_CONFIG_HOME/kestrix/kestrix.ini, with
// ~/.config for an unset XDG_CONFIG_HOME. `folderWritable` answers for a
// folder; the default asks the file system. The file's folder is created on
// the first write.
std::string SettingsFilePath(const std::string& executablePath, const EnvLookup& env,
                             const std::function<bool(const std::string&)>& folderWritable = {});

// The settings file of this process: SettingsFilePath for the running
// program and the process environment. Every front end opens this one.
std::string SharedSettingsFile();

// The default download folder, ending in "/": $XDG_DOWNLOAD_DIR when set,
// else ~/Downloads/ when the home folder exists, else the temporary folder
// ($TMPDIR or /tmp). The temporary folder comes last because it is commonly
// emptied at boot.
std::string DefaultDownloadFolder(const EnvLookup& env);

// The temporary folder, ending in "/".
std::string TempFolder(const EnvLookup& env);

}  // namespace kestrix
