// Refuses a second running copy of the program for the same user. The first
// instance holds an advisory lock on a per-user file until it exits; the
// lock goes with the process, so a crash never leaves a stale guard behind.
#pragma once

#include <string>
#include <string_view>

#include "core/app_paths.h"

namespace kestrix {

// What a refused start shows the user (a message box, or standard error).
inline constexpr std::string_view kAlreadyRunningText = "Application \"Kestrix\" is running !";

class SingleInstance {
 public:
  // Takes the lock at once when no other process holds it.
  explicit SingleInstance(const std::string& lockPath);
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;
  ~SingleInstance();

  // False only when another process holds the lock. When the lock file
  // cannot be opened at all, the program starts normally.
  bool IsFirstInstance() const { return first_; }

  // $XDG_RUNTIME_DIR/MutexToProtectRun.lock (a folder only this user can
  // reach), else the temporary folder with the user id in the name.
  static std::string DefaultLockPath(const EnvLookup& env);

 private:
  int fd_ = -1;
  bool first_ = true;
};

}  // namespace kestrix
