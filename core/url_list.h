// The queue: every URL a project has admitted for download, in the order it
// was admitted, each with the entry that says how to fetch it and what came
// of it. Positions never change while an entry lives, because workers, the
// queue grid, parent links and the history file all refer to them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/retrive_rec.h"
#include "core/shared_text.h"
#include "core/used_names.h"

namespace kestrix {

class UrlList {
 public:
  UrlList() = default;
  UrlList(const UrlList&) = delete;
  UrlList& operator=(const UrlList&) = delete;
  // The entries move with their blocks, so they keep their addresses.
  UrlList(UrlList&& other) noexcept { *this = std::move(other); }
  UrlList& operator=(UrlList&& other) noexcept;
  ~UrlList() { Clear(); }

  int32_t Count() const { return count_; }

  // Index of the item whose URL equals `url` without regard to ASCII letter
  // case, or -1.
  int32_t Find(std::string_view url) const;

  // Appends `url` with a copy of `entry`; the caller has made sure with Find
  // that the URL is absent (history loading trusts its file instead: a second
  // item with the same URL is kept but Find keeps answering the first).
  int32_t Append(std::string_view url, const TRetriveRec& entry);

  TRetriveRec& Entry(int32_t index) { return *At(index); }
  const TRetriveRec& Entry(int32_t index) const { return *At(index); }

  // The item's URL. It is the entry's URL when appended; it stays the same
  // when a worker follows a relocation and changes the entry's URL.
  std::string_view Url(int32_t index) const {
    if (!ownUrl_[static_cast<size_t>(index)]) return At(index)->Job.editUrl;
    return ownUrls_.find(index)->second;
  }
  // The entry's URL is about to change (a relocation is followed): the item
  // keeps the one it has. Call it before changing the entry's URL.
  void PinUrl(int32_t index);
  // Gives the item another URL (a page that declares a base); the entry is
  // left as it is.
  void Rename(int32_t index, std::string_view url);
  // Makes Find answer `index` for `url` as well, unless another item holds
  // that URL: a document that moved is then found under its new address, so
  // a link to that address is not fetched a second time.
  void AddAlias(int32_t index, std::string_view url);

  // The local folder text `folder`, shared with every entry of the queue
  // that lies in that folder: a site's files fill far fewer folders, and an
  // entry then holds a pointer pair instead of a copy. Append gives each
  // entry its folder from here.
  const SharedText& SharedFolder(std::string_view folder);

  void Clear();

 private:
  // Entries live in blocks of a fixed count, built in place as they are
  // appended: an entry never moves, costs no allocation of its own, and is
  // reached from its index by arithmetic instead of through a pointer of its
  // own, which a lookup in a large queue would otherwise miss in the cache.
  static constexpr int32_t kBlockShift = 8;
  static constexpr int32_t kBlockSize = 1 << kBlockShift;
  struct BlockDeleter {
    void operator()(TRetriveRec* block) const;
  };
  using Block = std::unique_ptr<TRetriveRec, BlockDeleter>;

  TRetriveRec* At(int32_t index) const {
    const auto i = static_cast<uint32_t>(index);
    return blocks_[i >> kBlockShift].get() + (i & (kBlockSize - 1));
  }
  static uint32_t FoldedHash(std::string_view url);
  int32_t Lookup(std::string_view url, uint32_t hash) const;
  void Insert(int32_t index, uint32_t hash);
  void Erase(int32_t index);
  void Grow();
  // Gives the item `url` as its own when it differs from its entry's.
  void SetOwnUrl(int32_t index, std::string_view url);

  std::vector<Block> blocks_;
  int32_t count_ = 0;
  // An item's URL while it differs from its entry's (after a relocation or a
  // base), marked per item so that the common case asks no map: a large
  // site's queue holds a million items, nearly all at the URL they were
  // appended with.
  std::vector<bool> ownUrl_;
  std::unordered_map<int32_t, std::string> ownUrls_;
  // Open addressing, linear probing: a slot holds the URL's hash in its high
  // half and index + 1 in its low half, 0 when free, so most probes never
  // touch the URL text. Only the first of equal URLs is indexed (history
  // files are appended without a check), which keeps Find's answer the
  // front one.
  std::vector<uint64_t> slots_;
  // Folded URL -> index; only items that moved have one, so a map will do.
  std::unordered_map<std::string, int32_t> aliases_;
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  std::unordered_set<SharedText, TextHash, std::equal_to<>> folders_;
};

// What the download engine keeps beside its workers: the queue, the local
// names given out, and the counters. One object per download (and one per
// exploration test window), handed to whoever needs it.
struct TEngineState {
  UrlList Queue;
  UsedNames Names;
  int32_t NextIndex = 0;       // next entry to hand to a worker
  int32_t ProcessedCount = 0;  // entries whose fetch has finished
  int32_t BytesReceived = 0;   // since the transfer-rate timer last read it
  // Since the project was opened: body bytes as they came over the
  // connections (compressed, in chunks) and as saved, and the links and
  // entries that robots.txt rules kept from being fetched.
  int64_t WireBytes = 0;
  int64_t SavedBytes = 0;
  int32_t RobotsRefused = 0;
  // The crawl-trap guards: the query strings queued per path (keyed by the
  // URL up to its "?"), and the links refused by each guard (URL too long,
  // repeating path, too many query strings).
  std::unordered_map<std::string, int32_t> QueryVariants;
  std::array<int64_t, 3> TrapRefusals{};

  // Empties the queue and the used names; the counters are the caller's.
  void ClearQueue() {
    Queue.Clear();
    Names.Clear();
    QueryVariants.clear();
  }
};

// Appends the entry for a job's starting URL `url` unless the queue holds it
// already; `localFolder` is where its file goes. Returns its index, or -1 when
// nothing was appended. The second form lets the URLs of one expanded
// template share one copy of the job's settings.
int32_t AppendStartUrl(UrlList& queue, const TJobRecord& job, int32_t jobNumber,
                       const std::string& url, const std::string& localFolder,
                       const std::string* postData = nullptr);
int32_t AppendStartUrl(UrlList& queue, const TEntryJob& job, int32_t jobNumber,
                       const std::string& url, const std::string& localFolder,
                       const std::string* postData = nullptr);

}  // namespace kestrix
