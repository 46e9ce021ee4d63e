#include "core/used_names.h"

#include <cstring>

namespace kestrix {
namespace {

constexpr uint64_t kFree = 0;
constexpr int kOffsetBits = 40;
constexpr uint64_t kOffsetMask = (uint64_t{1} << kOffsetBits) - 1;

std::string Fold(std::string_view path) {
  std::string key(path);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

// Splits a folded path after its last "/": the same path always splits the
// same way, so two paths are equal exactly when folder and name both are.
std::pair<std::string_view, std::string_view> Split(std::string_view path) {
  const std::size_t cut = path.rfind('/') + 1;  // 0 when there is none
  return {path.substr(0, cut), path.substr(cut)};
}

uint64_t NameHash(uint32_t folder, std::string_view name) {
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](unsigned char byte) {
    h ^= byte;
    h *= 1099511628211ull;
  };
  for (int i = 0; i < 4; ++i) mix(static_cast<unsigned char>(folder >> (8 * i)));
  for (char c : name) mix(static_cast<unsigned char>(c));
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

uint64_t Fingerprint(uint64_t hash) {
  return hash >> kOffsetBits;
}

uint32_t Read32(const char* at) {
  uint32_t value = 0;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

uint32_t UsedNames::FolderId(std::string_view folder) const {
  const auto it = folders_.find(folder);
  return it == folders_.end() ? kNoFolder : it->second;
}

std::size_t UsedNames::Lookup(uint32_t folder, std::string_view name, uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
    const uint64_t slot = slots_[s];
    if (slot == kFree) return s;
    if ((slot >> kOffsetBits) != Fingerprint(hash)) continue;
    const char* at = names_.data() + ((slot & kOffsetMask) - 1);
    if (Read32(at) == folder && Read32(at + 4) == name.size() &&
        std::memcmp(at + 8, name.data(), name.size()) == 0) {
      return s;
    }
  }
}

bool UsedNames::Contains(std::string_view path) const {
  if (count_ == 0) return false;
  const std::string folded = Fold(path);
  const auto [folder, name] = Split(folded);
  const uint32_t id = FolderId(folder);
  if (id == kNoFolder) return false;
  return slots_[Lookup(id, name, NameHash(id, name))] != kFree;
}

void UsedNames::Add(std::string_view path) {
  const std::string folded = Fold(path);
  const auto [folder, name] = Split(folded);
  uint32_t id = FolderId(folder);
  if (id == kNoFolder) {
    id = static_cast<uint32_t>(folders_.size());
    folders_.emplace(folder, id);
  }
  if ((count_ + 1) * 10 > slots_.size() * 7) Grow();
  const uint64_t hash = NameHash(id, name);
  const std::size_t s = Lookup(id, name, hash);
  if (slots_[s] != kFree) return;
  const uint64_t offset = names_.size();
  const auto size = static_cast<uint32_t>(name.size());
  names_.resize(names_.size() + 8 + name.size());
  char* at = names_.data() + offset;
  std::memcpy(at, &id, 4);
  std::memcpy(at + 4, &size, 4);
  std::memcpy(at + 8, name.data(), name.size());
  slots_[s] = (Fingerprint(hash) << kOffsetBits) | (offset + 1);
  ++count_;
}

void UsedNames::Grow() {
  std::vector<uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2, kFree);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const uint64_t slot : old) {
    if (slot == kFree) continue;
    const char* at = names_.data() + ((slot & kOffsetMask) - 1);
    const uint64_t hash = NameHash(Read32(at), {at + 8, Read32(at + 4)});
    std::size_t s = hash & mask;
    while (slots_[s] != kFree) s = (s + 1) & mask;
    slots_[s] = slot;
  }
}

void UsedNames::Clear() {
  // Swap with empty containers so the memory of a large run is returned too.
  decltype(folders_)().swap(folders_);
  std::vector<char>().swap(names_);
  std::vector<uint64_t>().swap(slots_);
  count_ = 0;
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
