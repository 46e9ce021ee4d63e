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
  // Swap with empty containers so the buckets of a large run are returned too.
  std::unordered_set<std::string>().swap(names_);
  std::unordered_map<std::string, std::size_t>().swap(hints_);
}

std::size_t UsedNames::CounterHint(const std::string& key) const {
  const auto it = hints_.find(key);
  return it == hints_.end() ? 0 : it->second;
}

void UsedNames::SetCounterHint(const std::string& key, std::size_t counter) {
  hints_[key] = counter;
}

}  // namespace kestrix
