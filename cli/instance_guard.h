// The single-instance guard as the command line uses it: commands that write
// the settings, the history or the download folder take it; commands that
// only read run beside a running instance.
#pragma once

#include "core/single_instance.h"

namespace kestrix {

class InstanceGuard {
 public:
  InstanceGuard();
  // False when another instance runs; the refusal has then been printed.
  bool First() const { return lock_.IsFirstInstance(); }

 private:
  SingleInstance lock_;
};

}  // namespace kestrix
