#include "core/used_names.h"

namespace kestrix {
namespace {

std::string Fold(std::string_view path) {
  std::string key(path);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace

bool UsedNames::Contains(std::string_view path) const {
  return names_.contains(Fold(path));
}

void UsedNames::Add(std::string_view path) {
  names_.insert(Fold(path));
}

void UsedNames::Clear() {
  // Swap with an empty set so the buckets of a large run are returned too.
  std::unordered_set<std::string>().swap(names_);
}

}  // namespace kestrix
