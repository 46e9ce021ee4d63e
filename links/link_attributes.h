// Which attribute of a tag carries its link, what a LINK tag names, and the
// image candidates of a srcset: the reading of tags that real pages need
// beyond the first attribute that mentions a link word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

class THTMLTag;

// A link to the page itself: "", "#" or "#anything".
bool IsSelfLink(std::string_view link);

// The attribute that carries the link of a tag kind (href, src, action or
// content); empty for a kind without one.
std::string_view LinkAttribute(int32_t kind);

// The tag's link value as written: the attribute that carries the link for
// its kind; when the tag has none, its first parameter's value, or the
// second's when the first is an onclick handler.
std::string LinkValue(const THTMLTag& tag);

// The name of the attribute LinkValue takes its value from.
std::string LinkAttributeName(const THTMLTag& tag);

// What a LINK tag names, from its rel and rev: a part of the page (style
// sheets, icons, preloads), another document (next, prev, alternate ...),
// or something not to fetch (made, canonical, preconnect ...).
enum class TLinkRole { PagePart, Document, NotFetched };
TLinkRole LinkRole(const THTMLTag& tag);

// One image candidate of a srcset: its URL text and where it starts.
struct TSrcsetItem {
  std::string_view Text;
  size_t Offset = 0;
};

// "a.png 1x, b.png 2x": URLs separated from their descriptors by blanks and
// from each other by commas.
std::vector<TSrcsetItem> SrcsetItems(std::string_view value);

}  // namespace kestrix
