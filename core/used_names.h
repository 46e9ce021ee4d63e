// The local paths already given out during a run. Paths are compared without
// regard to ASCII case, as on the file systems saved sites are copied to, and
// every question is answered in constant time: sites of 10^5 files are normal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace kestrix {

class UsedNames {
 public:
  bool Contains(std::string_view path) const;
  void Add(std::string_view path);
  void Clear();
  std::size_t size() const { return names_.size(); }

  // Where the search for a free counter for `key` (a folder, a name and how
  // it is cleaned) may start. Every smaller counter was found taken, and
  // names are never given back before Clear, so starting there gives the
  // same answer as counting from 1: a folder of 10^5 "index.html" pages
  // costs linear time instead of quadratic.
  std::size_t CounterHint(const std::string& key) const;
  void SetCounterHint(const std::string& key, std::size_t counter);

 private:
  std::unordered_set<std::string> names_;  // case-folded paths
  std::unordered_map<std::string, std::size_t> hints_;
};

}  // namespace kestrix
