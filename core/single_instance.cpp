#include "core/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_util.h"

namespace kestrix {

SingleInstance::SingleInstance(const std::string& lockPath) {
  // O_NOFOLLOW: in a shared temporary folder the name could be a planted link.
  fd_ = open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) first_ = false;
    close(fd_);
    fd_ = -1;
    return;
  }
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) close(fd_);
}

std::string SingleInstance::DefaultLockPath(const EnvLookup& env) {
  if (const auto runtime = env("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
    return AddBackslash(*runtime) + "MutexToProtectRun.lock";
  }
  return TempFolder(env) + "MutexToProtectRun-" + std::to_string(getuid()) + ".lock";
}

}  // namespace kestrix
