#include "cli/instance_guard.h"

#include <iostream>

namespace kestrix {

InstanceGuard::InstanceGuard() : lock_(SingleInstance::DefaultLockPath(ProcessEnv)) {
  if (!lock_.IsFirstInstance()) std::cerr << kAlreadyRunningText << "\n";
}

}  // namespace kestrix
