#include "core/app_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/file_util.h"

namespace kestrix {

namespace {

std::optional<std::string> NonEmpty(const EnvLookup& env, const std::string& name) {
  std::optional<std::string> value = env(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

// $HOME, or the account's home folder when HOME is not set; only a folder
// that exists counts.
std::optional<std::string> HomeFolder(const EnvLookup& env) {
  std::optional<std::string> home = NonEmpty(env, "HOME");
  if (!home) {
    const passwd* account = getpwuid(getuid());
    if (account != nullptr && account->pw_dir != nullptr) home = std::string(account->pw_dir);
  }
  if (home && !DirectoryExists(*home)) home.reset();
  return home;
}

bool FolderWritable(const std::string& folder) {
  return access(folder.c_str(), W_OK) == 0;
}

}  // namespace

std::optional<std::string> ProcessEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string SharedSettingsFile() {
  return SettingsFilePath(ExecutablePath(), ProcessEnv);
}

std::string SettingsFilePath(const std::string& executablePath, const EnvLookup& env,
                             const std::function<bool(const std::string&)>& folderWritable) {
  if (auto chosen = NonEmpty(env, "KESTRIX_SETTINGS")) return *chosen;

  // One name for every program of the suite: the desktop program and the
  // command line beside it share their settings, whatever each is called.
  const size_t slash = executablePath.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string("./") : executablePath.substr(0, slash + 1);
  if (folderWritable ? folderWritable(folder) : FolderWritable(folder)) {
    return folder + kSettingsFileName;
  }

  std::string config;
  if (auto xdg = NonEmpty(env, "XDG_CONFIG_HOME")) {
    config = AddBackslash(*xdg);
  } else if (auto home = HomeFolder(env)) {
    config = AddBackslash(*home) + ".config/";
  } else {
    config = TempFolder(env);
  }
  return config + "kestrix/" + kSettingsFileName;
}

std::string TempFolder(const EnvLookup& env) {
  return AddBackslash(NonEmpty(env, "TMPDIR").value_or("/tmp"));
}

std::string DefaultDownloadFolder(const EnvLookup& env) {
  if (auto downloads = NonEmpty(env, "XDG_DOWNLOAD_DIR")) return AddBackslash(*downloads);
  if (auto home = HomeFolder(env)) return AddBackslash(*home) + "Downloads/";
  return TempFolder(env);
}

}  // namespace kestrix
