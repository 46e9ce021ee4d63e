#include "links/link_attributes.h"

#include <algorithm>
#include <array>

#include "core/ascii.h"
#include "links/html_items.h"
#include "links/text_util.h"

namespace kestrix {

bool IsSelfLink(std::string_view link) {
  link = TrimControls(link);
  return link.empty() || link.front() == '#';
}

std::string_view LinkAttribute(int32_t kind) {
  switch (kind) {
    case kKindA:
    case kKindArea:
    case kKindLink:
    case kKindBase:
    case kKindFtp:
      return "href";
    case kKindImg:
    case kKindFrame:
    case kKindIFrame:
    case kKindScript:
    case kKindEmbed:
      return "src";
    case kKindForm:
      return "action";
    case kKindMeta:
      return "content";
    default:
      return {};
  }
}

namespace {

// The attribute that carries a tag's link: OBJECT names its file by "data".
std::string_view TagLinkAttribute(const THTMLTag& tag) {
  return tag.Name == "OBJECT" ? std::string_view("data") : LinkAttribute(tag.Kind);
}

// Tags that name their files by one attribute only: without it they have
// no link, whatever else they carry (a video's poster, a picture's srcset).
bool HasOnlyItsOwnAttribute(const THTMLTag& tag) {
  for (std::string_view name : {"SOURCE", "TRACK", "OBJECT", "VIDEO", "AUDIO"}) {
    if (tag.Name == name) return true;
  }
  return false;
}

// The parameter that carries the tag's link: its own attribute, or else
// the first one that is not a handler (the second parameter when the first
// is an onclick). A srcset is a list of candidates, taken apart on its own,
// never one link.
const THTMLParam* LinkParam(const THTMLTag& tag) {
  const std::string_view named = TagLinkAttribute(tag);
  if (!named.empty()) {
    if (const THTMLParam* param = tag.FindParam(named)) return param;
  }
  if (tag.Params.empty() || HasOnlyItsOwnAttribute(tag)) return nullptr;
  const bool handler = AsciiLower(tag.Params.front().Name) == "onclick";
  if (handler && tag.Params.size() < 2) return nullptr;
  const THTMLParam& param = tag.Params[handler ? 1 : 0];
  return AsciiLower(param.Name) == "srcset" ? nullptr : &param;
}

}  // namespace

std::string LinkAttributeName(const THTMLTag& tag) {
  const THTMLParam* param = LinkParam(tag);
  return param == nullptr ? std::string() : param->Name;
}

std::vector<TSrcsetItem> SrcsetItems(std::string_view value) {
  std::vector<TSrcsetItem> items;
  size_t i = 0;
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (i < value.size()) {
    while (i < value.size() && (blank(value[i]) || value[i] == ',')) ++i;
    const size_t start = i;
    while (i < value.size() && !blank(value[i])) ++i;
    size_t end = i;
    // A comma right after the URL ends the candidate without descriptors.
    while (end > start && value[end - 1] == ',') --end;
    if (end > start) items.push_back(TSrcsetItem{value.substr(start, end - start), start});
    if (end < i) continue;
    while (i < value.size() && value[i] != ',') ++i;
  }
  return items;
}

std::string LinkValue(const THTMLTag& tag) {
  const THTMLParam* param = LinkParam(tag);
  return param == nullptr ? std::string() : param->Value;
}

TLinkRole LinkRole(const THTMLTag& tag) {
  // A LINK that says nothing of itself is taken for a part, as it always was.
  if (tag.Rel.empty()) return tag.Rev.empty() ? TLinkRole::PagePart : TLinkRole::NotFetched;
  static constexpr std::array<std::string_view, 8> kParts = {
      "stylesheet", "icon",          "apple-touch-icon", "apple-touch-icon-precomposed",
      "mask-icon",  "modulepreload", "preload",          "manifest"};
  static constexpr std::array<std::string_view, 17> kDocuments = {
      "next",    "prev",       "previous", "alternate", "start", "first",
      "last",    "up",         "index",    "contents",  "toc",   "chapter",
      "section", "subsection", "appendix", "glossary",  "help"};
  const std::string rel = AsciiLower(tag.Rel);
  bool document = false;
  size_t i = 0;
  while (i < rel.size()) {
    while (i < rel.size() && static_cast<unsigned char>(rel[i]) <= ' ') ++i;
    const size_t start = i;
    while (i < rel.size() && static_cast<unsigned char>(rel[i]) > ' ') ++i;
    const std::string_view token = std::string_view(rel).substr(start, i - start);
    if (std::find(kParts.begin(), kParts.end(), token) != kParts.end()) {
      return TLinkRole::PagePart;
    }
    if (std::find(kDocuments.begin(), kDocuments.end(), token) != kDocuments.end()) {
      document = true;
    }
  }
  return document ? TLinkRole::Document : TLinkRole::NotFetched;
}

}  // namespace kestrix
