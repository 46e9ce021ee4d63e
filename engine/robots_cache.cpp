#include "engine/robots_cache.h"

#include <charconv>
#include <filesystem>

#include "core/ascii.h"
#include "core/whole_file.h"

namespace kestrix {
namespace {

constexpr std::string_view kMagic = "kestrix-robots 1\n";
// The header lines and the body together.
constexpr size_t kMaxFileBytes = kMaxRobotsBytes + 256;

// Takes "NAME VALUE\n" off the front of `text`.
template <typename T>
bool TakeField(std::string_view& text, std::string_view name, T& value) {
  const size_t end = text.find('\n');
  if (end == std::string_view::npos || !text.starts_with(name) || text.size() <= name.size() ||
      text[name.size()] != ' ') {
    return false;
  }
  const char* first = text.data() + name.size() + 1;
  const char* last = text.data() + end;
  const auto [stop, error] = std::from_chars(first, last, value);
  if (error != std::errc() || stop != last) return false;
  text.remove_prefix(end + 1);
  return true;
}

std::string DefaultPort(std::string_view scheme) {
  return EqualsNoCase(scheme, "https") ? "443" : "80";
}

// A host name as a file name: anything but letters, digits, "." and "-"
// (the brackets and colons of an IPv6 address) becomes "_".
std::string FileNamePart(std::string_view text) {
  std::string out = AsciiLower(text);
  for (char& c : out) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    if (!plain) c = '_';
  }
  if (out.empty() || out.front() == '.') out.insert(0, "_");
  return out;
}

}  // namespace

std::string RobotsCachePath(const std::string& downloadFolder, const std::string& project,
                            std::string_view scheme, std::string_view host, std::string_view port) {
  const std::string portText = port.empty() ? DefaultPort(scheme) : std::string(port);
  return downloadFolder + project + "/.robots/" + FileNamePart(scheme) + "_" + FileNamePart(host) +
         "_" + FileNamePart(portText) + ".txt";
}

std::string EncodeRobotsCache(const TRobotsCacheEntry& entry) {
  std::string text(kMagic);
  text += "fetched " + std::to_string(entry.FetchedAt) + "\n";
  text += "status " + std::to_string(entry.Status) + "\n\n";
  text.append(entry.Body, 0, kMaxRobotsBytes);
  return text;
}

std::optional<TRobotsCacheEntry> DecodeRobotsCache(std::string_view text) {
  if (!text.starts_with(kMagic)) return std::nullopt;
  text.remove_prefix(kMagic.size());
  TRobotsCacheEntry entry;
  if (!TakeField(text, "fetched", entry.FetchedAt) || !TakeField(text, "status", entry.Status) ||
      !text.starts_with('\n')) {
    return std::nullopt;
  }
  text.remove_prefix(1);
  entry.Body = text.substr(0, kMaxRobotsBytes);
  return entry;
}

std::optional<TRobotsCacheEntry> LoadRobotsCache(const std::string& path) {
  const std::optional<std::string> text = ReadFileUpTo(path, kMaxFileBytes);
  return text ? DecodeRobotsCache(*text) : std::nullopt;
}

bool SaveRobotsCache(const std::string& path, const TRobotsCacheEntry& entry) {
  // The hidden folder is made with the first answer kept.
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  return ReplaceFileAtomically(path, EncodeRobotsCache(entry), false);
}

bool IsFreshRobotsCache(const TRobotsCacheEntry& entry, int64_t now) {
  return entry.FetchedAt <= now && entry.FetchedAt > now - kRobotsCacheTrustSeconds;
}

TRobotsRules RulesOf(const TRobotsCacheEntry& entry) {
  if (entry.Status >= 200 && entry.Status <= 299) return TRobotsRules::Parse(entry.Body);
  return TRobotsRules();
}

}  // namespace kestrix
