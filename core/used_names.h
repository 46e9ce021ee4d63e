// The local paths already given out during a run. Paths are compared without
// regard to ASCII case, as on the file systems saved sites are copied to, and
// every question is answered in constant time: sites of 10^5 files are normal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrix {

class UsedNames {
 public:
  bool Contains(std::string_view path) const;
  void Add(std::string_view path);
  void Clear();
  std::size_t size() const { return count_; }

  // Where the search for a free counter for `key` (a folder, a name and how
  // it is cleaned) may start. Every smaller counter was found taken, and
  // names are never given back before Clear, so starting there gives the
  // same answer as counting from 1: a folder of 10^5 "index.html" pages
  // costs linear time instead of quadratic.
  std::size_t CounterHint(const std::string& key) const;
  void SetCounterHint(const std::string& key, std::size_t counter);

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  // A path is kept as its folder, stored once for all the names in it, and
  // the name after the folder's last "/", packed into one block of bytes: a
  // site's million names cost about their own length each, where a set of
  // whole paths cost three times that in copies of the folder and in nodes.
  uint32_t FolderId(std::string_view folder) const;  // kNoFolder when unknown
  std::size_t Lookup(uint32_t folder, std::string_view name, uint64_t hash) const;
  void Grow();

  static constexpr uint32_t kNoFolder = UINT32_MAX;
  std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> folders_;  // folded
  // Each name as its folder's number, its length (both 32-bit) and its folded
  // bytes.
  std::vector<char> names_;
  // Open addressing, linear probing: the high 24 bits hold the top of the
  // name's hash, the low 40 its offset in names_ + 1; 0 is a free slot.
  std::vector<uint64_t> slots_;
  std::size_t count_ = 0;
  std::unordered_map<std::string, std::size_t> hints_;
};

}  // namespace kestrix
