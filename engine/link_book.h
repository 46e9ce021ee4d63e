// Which saved pages link to which queue entries, and which entries a run
// left without the file those links name. A page is written as soon as it
// is analysed, linking every queued file by the local name it has then;
// whether the file comes, and under which name, is known only later. The
// book remembers enough, by queue index, to edit just the pages concerned
// once the run ends (see link_pass.h).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrix {

class TLinkBook {
 public:
  // Forgets everything: the queue it spoke of is gone.
  void Clear();

  // Page `page` was saved linking to the entries `targets` (queue indices).
  // A page analysed again replaces what it said before.
  void SetPageLinks(int32_t page, std::vector<int32_t> targets);
  bool Knows(int32_t page) const { return pages_.contains(page); }
  // Every page known, with the entries it links to.
  const std::unordered_map<int32_t, std::vector<int32_t>>& Pages() const { return pages_; }
  // The page no longer links locally to `targets` (its links to them were
  // written as URLs).
  void DropLinks(int32_t page, const std::unordered_set<int32_t>& targets);

  // Entry `entry` came under another name; `oldPath` is the local path
  // (folder and file) it had when pages were linked to it. The first old
  // path is kept: pages written before any rename name that one.
  void NoteRenamed(int32_t entry, const std::string& oldPath);
  const std::unordered_map<int32_t, std::string>& Renamed() const { return renamed_; }
  // Pages were mended for the renames: new pages already use the new names.
  void ClearRenamed() { renamed_.clear(); }

  // Whether the fetch of `entry` left a file; `scriptNamed` when the entry
  // was named only in a script's text.
  void NoteOutcome(int32_t entry, bool saved, bool scriptNamed);
  const std::unordered_set<int32_t>& Failed() const { return failed_; }
  // Entries named only by scripts that failed since the last call.
  int32_t TakeFailedScriptFiles();

 private:
  std::unordered_map<int32_t, std::vector<int32_t>> pages_;
  std::unordered_map<int32_t, std::string> renamed_;
  std::unordered_set<int32_t> failed_;
  int32_t failedScriptFiles_ = 0;
};

}  // namespace kestrix
