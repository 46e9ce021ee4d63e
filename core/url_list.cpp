#include "core/url_list.h"

#include <algorithm>
#include <cstring>
#include <new>

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

std::string Folded(std::string_view url) {
  std::string folded(url);
  for (char& c : folded) c = Fold(c);
  return folded;
}

constexpr uint64_t kFree = 0;

uint32_t SlotHash(uint64_t slot) {
  return static_cast<uint32_t>(slot >> 32);
}
int32_t SlotIndex(uint64_t slot) {
  return static_cast<int32_t>(slot & 0xffffffffu) - 1;
}
uint64_t MakeSlot(uint32_t hash, int32_t index) {
  return (uint64_t{hash} << 32) | static_cast<uint32_t>(index + 1);
}

}  // namespace

void UrlList::BlockDeleter::operator()(TRetriveRec* block) const {
  ::operator delete (block, std::align_val_t{alignof(TRetriveRec)});
}

uint32_t UrlList::FoldedHash(std::string_view url) {
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
  return static_cast<uint32_t>(h);
}

int32_t UrlList::Lookup(std::string_view url, uint32_t hash) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  for (size_t s = hash & mask; slots_[s] != kFree; s = (s + 1) & mask) {
    if (SlotHash(slots_[s]) != hash) continue;
    const int32_t index = SlotIndex(slots_[s]);
    if (SameFolded(Url(index), url)) return index;
  }
  return -1;
}

int32_t UrlList::Find(std::string_view url) const {
  const int32_t found = Lookup(url, FoldedHash(url));
  if (found >= 0 || aliases_.empty()) return found;
  const auto alias = aliases_.find(Folded(url));
  return alias == aliases_.end() ? -1 : alias->second;
}

void UrlList::AddAlias(int32_t index, std::string_view url) {
  if (index < 0 || index >= Count() || Lookup(url, FoldedHash(url)) >= 0) return;
  aliases_.emplace(Folded(url), index);
}

int32_t UrlList::Append(std::string_view url, const TRetriveRec& entry) {
  if ((static_cast<size_t>(count_) + 1) * 2 > slots_.size()) Grow();
  const int32_t index = count_;
  if ((index & (kBlockSize - 1)) == 0) {
    void* raw =
        ::operator new (sizeof(TRetriveRec) * kBlockSize, std::align_val_t{alignof(TRetriveRec)});
    blocks_.emplace_back(static_cast<TRetriveRec*>(raw));
  }
  TRetriveRec* added = new (At(index)) TRetriveRec(entry);
  ++count_;
  if (!added->LocalFolder.empty()) added->LocalFolder = SharedFolder(added->LocalFolder);
  ownUrl_.push_back(false);
  SetOwnUrl(index, url);
  const uint32_t hash = FoldedHash(url);
  if (Lookup(url, hash) < 0) Insert(index, hash);
  return index;
}

void UrlList::SetOwnUrl(int32_t index, std::string_view url) {
  const bool own = url != At(index)->Job.editUrl;
  ownUrl_[static_cast<size_t>(index)] = own;
  if (own) {
    ownUrls_[index] = std::string(url);
  } else {
    ownUrls_.erase(index);
  }
}

void UrlList::Rename(int32_t index, std::string_view url) {
  Erase(index);
  SetOwnUrl(index, url);
  const uint32_t hash = FoldedHash(url);
  if (Lookup(url, hash) < 0) Insert(index, hash);
}

void UrlList::PinUrl(int32_t index) {
  if (ownUrl_[static_cast<size_t>(index)]) return;
  ownUrl_[static_cast<size_t>(index)] = true;
  ownUrls_[index] = At(index)->Job.editUrl;
}

const SharedText& UrlList::SharedFolder(std::string_view folder) {
  const auto found = folders_.find(folder);
  if (found != folders_.end()) return *found;
  SharedText text;
  text = folder;
  return *folders_.insert(std::move(text)).first;
}

UrlList& UrlList::operator=(UrlList&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  blocks_.swap(other.blocks_);
  std::swap(count_, other.count_);
  ownUrl_.swap(other.ownUrl_);
  ownUrls_.swap(other.ownUrls_);
  slots_.swap(other.slots_);
  aliases_.swap(other.aliases_);
  folders_.swap(other.folders_);
  return *this;
}

void UrlList::Clear() {
  for (int32_t index = count_ - 1; index >= 0; --index) At(index)->~TRetriveRec();
  count_ = 0;
  std::vector<Block>().swap(blocks_);
  std::vector<bool>().swap(ownUrl_);
  std::unordered_map<int32_t, std::string>().swap(ownUrls_);
  aliases_.clear();
  std::vector<uint64_t>().swap(slots_);
  folders_.clear();
}

void UrlList::Insert(int32_t index, uint32_t hash) {
  const size_t mask = slots_.size() - 1;
  size_t s = hash & mask;
  while (slots_[s] != kFree) s = (s + 1) & mask;
  slots_[s] = MakeSlot(hash, index);
}

void UrlList::Erase(int32_t index) {
  const size_t mask = slots_.size() - 1;
  size_t s = FoldedHash(Url(index)) & mask;
  for (; slots_[s] != kFree; s = (s + 1) & mask) {
    if (SlotIndex(slots_[s]) == index) break;
  }
  if (slots_[s] == kFree) return;  // a duplicate that was never indexed
  // Backward-shift deletion keeps every probe chain unbroken without tombstones.
  slots_[s] = kFree;
  for (size_t next = (s + 1) & mask; slots_[next] != kFree; next = (next + 1) & mask) {
    const size_t home = SlotHash(slots_[next]) & mask;
    const bool stays = (next > s) ? (home > s && home <= next) : (home > s || home <= next);
    if (!stays) {
      slots_[s] = slots_[next];
      slots_[next] = kFree;
      s = next;
    }
  }
}

void UrlList::Grow() {
  std::vector<uint64_t> old = std::move(slots_);
  slots_.assign(std::max<size_t>(16, old.size() * 2), kFree);
  for (uint64_t slot : old) {
    if (slot != kFree) Insert(SlotIndex(slot), SlotHash(slot));
  }
}

int32_t AppendStartUrl(UrlList& queue, const TJobRecord& job, int32_t jobNumber,
                       const std::string& url, const std::string& localFolder,
                       const std::string* postData) {
  if (queue.Find(url) >= 0) return -1;
  return AppendStartUrl(queue, TEntryJob(job), jobNumber, url, localFolder, postData);
}

int32_t AppendStartUrl(UrlList& queue, const TEntryJob& job, int32_t jobNumber,
                       const std::string& url, const std::string& localFolder,
                       const std::string* postData) {
  if (queue.Find(url) >= 0) return -1;
  TRetriveRec entry;
  entry.JobNumber = jobNumber;
  entry.Job = job;
  entry.Job.editUrl = url;
  entry.StartUrl = url;
  if (postData) {
    entry.RequestMethod = kMethodPost;
    entry.PostData = *postData;
  }
  entry.LocalFolder = localFolder;
  return queue.Append(url, entry);
}

}  // namespace kestrix
