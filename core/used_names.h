// The local paths already given out during a run. Paths are compared without
// regard to ASCII case, as on the file systems saved sites are copied to, and
// every question is answered in constant time: sites of 10^5 files are normal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kestrix {

class UsedNames {
 public:
  bool Contains(std::string_view path) const;
  void Add(std::string_view path);
  void Clear();
  std::size_t size() const { return names_.size(); }

 private:
  std::unordered_set<std::string> names_;  // case-folded paths
};

}  // namespace kestrix
