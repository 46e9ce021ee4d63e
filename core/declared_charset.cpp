#include "core/declared_charset.h"

#include "core/ascii.h"

namespace kestrix {
namespace {

// How far into a page its declaration is looked for: it belongs in the head.
constexpr size_t kHeadBytes = 4096;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
         c == ':';
}

}  // namespace

std::string DeclaredCharset(std::string_view page) {
  const std::string head = AsciiLower(page.substr(0, kHeadBytes));
  for (size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    const size_t end = head.find('>', meta);
    const std::string_view tag = std::string_view(head).substr(
        meta, end == std::string::npos ? std::string::npos : end - meta);
    const size_t key = tag.find("charset");
    if (key == std::string_view::npos) continue;
    size_t at = key + 7;
    while (at < tag.size() && IsHtmlSpace(tag[at])) ++at;
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    while (at < tag.size() && (IsHtmlSpace(tag[at]) || tag[at] == '"' || tag[at] == '\'')) ++at;
    size_t stop = at;
    while (stop < tag.size() && IsNameChar(tag[stop])) ++stop;
    if (stop > at) return std::string(tag.substr(at, stop - at));
  }
  return std::string();
}

std::string SavedPageCharset(std::string_view page, bool koi8Converted) {
  return koi8Converted ? std::string("windows-1251") : DeclaredCharset(page);
}

}  // namespace kestrix
