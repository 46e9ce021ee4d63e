// The charset each queue row's texts are in. A link's URL and linked text
// are bytes of the page it was found on, which names its charset in its
// head; the grid reads that once per page and keeps it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace kestrix {

class UrlList;

class TLinkCharsets {
 public:
  // `queue` must outlive this.
  explicit TLinkCharsets(const UrlList& queue) : queue_(queue) {}

  // The charset of the saved page entry `row`'s link was found on; empty for
  // a starting URL or a page no longer on disk.
  const std::string& Of(int32_t row) const;
  // After the queue was cleared or read anew.
  void Forget() { byPage_.clear(); }

 private:
  const UrlList& queue_;
  mutable std::unordered_map<int32_t, std::string> byPage_;
};

}  // namespace kestrix
