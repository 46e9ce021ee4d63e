#include "core/url_list.h"

#include <algorithm>

namespace kestrix {

namespace {

char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

}  // namespace

uint64_t UrlList::FoldedHash(std::string_view url) {
  // FNV-1a over the folded bytes, then a final mix so that the low bits used
  // for the slot spread well.
  uint64_t h = 14695981039346656037ull;
  for (char c : url) {
    h ^= static_cast<unsigned char>(Fold(c));
    h *= 1099511628211ull;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

int32_t UrlList::Find(std::string_view url) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  int32_t found = -1;
  for (size_t s = FoldedHash(url) & mask; slots_[s] >= 0; s = (s + 1) & mask) {
    const int32_t index = slots_[s];
    // Duplicates only come from history files; the front one is the answer.
    if (SameFolded(items_[static_cast<size_t>(index)].url, url) && (found < 0 || index < found)) {
      found = index;
    }
  }
  return found;
}

int32_t UrlList::Append(std::string_view url, const TRetriveRec& entry) {
  if ((items_.size() + 1) * 2 > slots_.size()) Grow();
  const auto index = static_cast<int32_t>(items_.size());
  items_.push_back(Item{std::string(url), std::make_unique<TRetriveRec>(entry)});
  Insert(index, FoldedHash(url));
  return index;
}

void UrlList::Rename(int32_t index, std::string_view url) {
  Erase(index);
  items_[static_cast<size_t>(index)].url = std::string(url);
  Insert(index, FoldedHash(url));
}

void UrlList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
}

void UrlList::Insert(int32_t index, uint64_t hash) {
  const size_t mask = slots_.size() - 1;
  size_t s = hash & mask;
  while (slots_[s] >= 0) s = (s + 1) & mask;
  slots_[s] = index;
}

void UrlList::Erase(int32_t index) {
  const size_t mask = slots_.size() - 1;
  size_t s = FoldedHash(items_[static_cast<size_t>(index)].url) & mask;
  while (slots_[s] != index) s = (s + 1) & mask;
  // Backward-shift deletion keeps every probe chain unbroken without tombstones.
  slots_[s] = -1;
  for (size_t next = (s + 1) & mask; slots_[next] >= 0; next = (next + 1) & mask) {
    const int32_t moved = slots_[next];
    const size_t home = FoldedHash(items_[static_cast<size_t>(moved)].url) & mask;
    const bool stays = (next > s) ? (home > s && home <= next) : (home > s || home <= next);
    if (!stays) {
      slots_[s] = moved;
      slots_[next] = -1;
      s = next;
    }
  }
}

void UrlList::Grow() {
  const size_t size = std::max<size_t>(16, slots_.size() * 2);
  slots_.assign(size, -1);
  for (size_t i = 0; i < items_.size(); ++i) {
    Insert(static_cast<int32_t>(i), FoldedHash(items_[i].url));
  }
}

int32_t AppendStartUrl(UrlList& queue, const TJobRecord& job, int32_t jobNumber,
                       const std::string& url, const std::string& localFolder,
                       const std::string* postData) {
  if (queue.Find(url) >= 0) return -1;
  TRetriveRec entry;
  entry.JobNumber = jobNumber;
  entry.Job = job;
  entry.Job.editUrl = url;
  entry.StartUrl = url;
  if (postData) {
    entry.RequestMethod = 2;
    entry.PostData = *postData;
  }
  entry.LocalFolder = localFolder;
  return queue.Append(url, entry);
}

}  // namespace kestrix
