// The program's "Work Offline" switch. Linux has no system-wide offline state
// for embedded browsers to obey, so the program keeps its own and every page
// it hosts listens to it.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace kestrix {

class OfflineState {
 public:
  using Listener = std::function<void(bool offline)>;

  void SetGlobalOffline(bool offline) {
    offline_ = offline;
    for (const Listener& listener : listeners_) listener(offline_);
  }
  bool IsGlobalOffline() const { return offline_; }

  // Listeners live as long as this object; owners of pages register once.
  void Listen(Listener listener) { listeners_.push_back(std::move(listener)); }

 private:
  bool offline_ = false;
  std::vector<Listener> listeners_;
};

}  // namespace kestrix
