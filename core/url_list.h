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
#include <vector>

#include "core/retrive_rec.h"
#include "core/used_names.h"

namespace kestrix {

class UrlList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Index of the item whose URL equals `url` without regard to ASCII letter
  // case, or -1.
  int32_t Find(std::string_view url) const;

  // Appends `url` with a copy of `entry`; the caller has made sure with Find
  // that the URL is absent (history loading trusts its file instead: a second
  // item with the same URL is kept but Find keeps answering the first).
  int32_t Append(std::string_view url, const TRetriveRec& entry);

  TRetriveRec& Entry(int32_t index) { return *items_[static_cast<size_t>(index)].entry; }
  const TRetriveRec& Entry(int32_t index) const {
    return *items_[static_cast<size_t>(index)].entry;
  }

  // The item's URL. It is the entry's URL when appended; it stays the same
  // when a worker follows a relocation and changes the entry's URL.
  std::string_view Url(int32_t index) const {
    const Item& item = items_[static_cast<size_t>(index)];
    return item.url ? item.url.View() : std::string_view(item.entry->Job.editUrl);
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

  void Clear();

 private:
  // The item's URL in one allocation with its length, held only while it
  // differs from the entry's URL: a large site's queue holds a million
  // items, nearly all of them still at the URL they were appended with.
  class Key {
   public:
    Key() = default;
    explicit Key(std::string_view text);
    std::string_view View() const;
    explicit operator bool() const { return data_ != nullptr; }

   private:
    std::unique_ptr<char[]> data_;
  };
  struct Item {
    Key url;
    std::unique_ptr<TRetriveRec> entry;
  };

  // No key when the URL is the entry's own.
  static Key OwnKey(std::string_view url, const TRetriveRec& entry);
  static uint32_t FoldedHash(std::string_view url);
  int32_t Lookup(std::string_view url, uint32_t hash) const;
  void Insert(int32_t index, uint32_t hash);
  void Erase(int32_t index);
  void Grow();

  std::vector<Item> items_;
  // Open addressing, linear probing: a slot holds the URL's hash in its high
  // half and index + 1 in its low half, 0 when free, so most probes never
  // touch the URL text. Only the first of equal URLs is indexed (history
  // files are appended without a check), which keeps Find's answer the
  // front one.
  std::vector<uint64_t> slots_;
  // Folded URL -> index; only items that moved have one, so a map will do.
  std::unordered_map<std::string, int32_t> aliases_;
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
