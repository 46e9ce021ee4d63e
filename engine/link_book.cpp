#include "engine/link_book.h"

#include <utility>

namespace kestrix {

void TLinkBook::Clear() {
  pages_.clear();
  renamed_.clear();
  failed_.clear();
  failedScriptFiles_ = 0;
}

void TLinkBook::SetPageLinks(int32_t page, std::vector<int32_t> targets) {
  targets.shrink_to_fit();
  pages_[page] = std::move(targets);
}

void TLinkBook::DropLinks(int32_t page, const std::unordered_set<int32_t>& targets) {
  const auto it = pages_.find(page);
  if (it == pages_.end()) return;
  std::erase_if(it->second, [&targets](int32_t target) { return targets.contains(target); });
}

void TLinkBook::NoteRenamed(int32_t entry, const std::string& oldPath) {
  renamed_.try_emplace(entry, oldPath);
}

void TLinkBook::NoteOutcome(int32_t entry, bool saved, bool scriptNamed) {
  if (saved) {
    failed_.erase(entry);
    return;
  }
  if (failed_.insert(entry).second && scriptNamed) ++failedScriptFiles_;
}

int32_t TLinkBook::TakeFailedScriptFiles() {
  return std::exchange(failedScriptFiles_, 0);
}

}  // namespace kestrix
