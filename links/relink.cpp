#include "links/relink.h"

#include <functional>
#include <unordered_set>

#include "core/ascii.h"
#include "core/dot_segments.h"
#include "links/css_links.h"
#include "links/html_parser.h"
#include "links/link_attributes.h"
#include "links/link_rewriting.h"
#include "links/link_text.h"
#include "links/local_naming.h"
#include "links/style_blocks.h"

namespace kestrix {
namespace {

// How a replacement must be written where the link stands.
enum class TSpotKind { HtmlAttribute, CssQuoted, CssBare, CssInAttribute };

struct TLinkSpot {
  int32_t Line = 0;
  size_t Pos = 0;
  size_t Length = 0;
  TSpotKind Kind = TSpotKind::HtmlAttribute;
};

using TVisit = std::function<void(const TLinkSpot&)>;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes EncodeLocalLink: "%" and two hexadecimal digits give their byte.
std::string DecodeLocalLink(std::string_view link) {
  std::string out;
  out.reserve(link.size());
  for (size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size() && HexDigit(link[i + 1]) >= 0 &&
        HexDigit(link[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(link[i + 1]) * 16 + HexDigit(link[i + 2])));
      i += 2;
    } else {
      out.push_back(link[i]);
    }
  }
  return out;
}

std::string_view FolderOf(std::string_view path) {
  return path.substr(0, path.rfind('/') + 1);
}

// The part of a link that names a local file (before its fragment), or
// empty when the link names no local file.
std::string_view LocalPart(std::string_view link) {
  link = link.substr(0, link.find('#'));
  if (link.empty() || link.front() == '/' || !LinkScheme(link).empty()) return {};
  return link;
}

void VisitSrcset(const std::vector<std::string>& lines, const THTMLTag& tag,
                 const THTMLParam& param, const TVisit& visit) {
  int32_t line = tag.StartLine;
  size_t pos = tag.StartPos;
  for (const TSrcsetItem& item : SrcsetItems(param.Value)) {
    for (int32_t i = std::max(line, 0); i <= tag.EndLine && i < static_cast<int32_t>(lines.size());
         ++i) {
      const size_t found = lines[static_cast<size_t>(i)].find(item.Text, i == line ? pos : 0);
      if (found == std::string::npos) continue;
      visit(TLinkSpot{i, found, item.Text.size(), TSpotKind::HtmlAttribute});
      line = i;
      pos = found + item.Text.size();
      break;
    }
  }
}

void VisitTag(const std::vector<std::string>& lines, const THTMLTag& tag, const TVisit& visit) {
  for (const THTMLParam& param : tag.Params) {
    const std::string name = AsciiLower(param.Name);
    if (name.starts_with("on") || param.Value.empty()) continue;
    if (name == "srcset") {
      VisitSrcset(lines, tag, param, visit);
      continue;
    }
    const auto place = FindLinkText(lines, tag, param.Value, param.Name);
    if (!place) continue;
    std::string_view value = param.Value;
    size_t offset = 0;
    if (tag.Kind == kKindMeta) {
      // "5; URL=next.htm": the link follows the "=".
      const size_t eq = value.find('=');
      if (eq == std::string_view::npos) continue;
      offset = eq + 1;
      while (offset < value.size() && IsHtmlSpace(value[offset])) ++offset;
      value = value.substr(offset);
    }
    visit(TLinkSpot{place->Line, place->Pos + offset, value.size(), TSpotKind::HtmlAttribute});
  }
}

void VisitCss(const std::vector<TCssRef>& refs, bool attribute, const TVisit& visit) {
  for (TCssRef ref : refs) {
    if (attribute) UnquoteAttributeRef(ref);
    const TSpotKind kind = attribute        ? TSpotKind::CssInAttribute
                           : ref.Quote != 0 ? TSpotKind::CssQuoted
                                            : TSpotKind::CssBare;
    visit(TLinkSpot{ref.Line, ref.Pos, ref.Length, kind});
  }
}

void VisitLinks(const std::vector<std::string>& lines, bool styleSheet, const TVisit& visit) {
  if (styleSheet) {
    VisitCss(FindCssRefs(lines), false, visit);
    return;
  }
  THTMLParser parser;
  parser.KeptKinds = kKeepAll;
  parser.Lines = &lines;
  parser.Parse();
  for (const THTMLItem& item : parser.Items) {
    if (const THTMLTag* tag = AsTag(item)) VisitTag(lines, *tag, visit);
  }
  for (const TStyleRegion& region : FindStyleRegions(lines)) {
    VisitCss(FindCssRefs(lines, region), region.Attribute, visit);
  }
}

std::string_view SpotText(const std::vector<std::string>& lines, const TLinkSpot& spot) {
  return std::string_view(lines[static_cast<size_t>(spot.Line)]).substr(spot.Pos, spot.Length);
}

// `text` written so that it stays one link where the spot stands.
std::string ForSpot(const std::string& text, TSpotKind kind) {
  switch (kind) {
    case TSpotKind::HtmlAttribute:
      return ForHtmlAttribute(text);
    case TSpotKind::CssBare:
      return ForBareUrl(text);
    case TSpotKind::CssInAttribute:
      return ForHtmlAttribute(ForBareUrl(text));
    case TSpotKind::CssQuoted:
      break;
  }
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\'') {
      out += c == '"' ? "%22" : "%27";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

int32_t RelinkPage(std::vector<std::string>& lines, std::string_view pageLocalPath, bool styleSheet,
                   const TRelinks& relinks) {
  if (relinks.empty()) return 0;
  const std::string folder(FolderOf(pageLocalPath));
  std::vector<TLineEdit> edits;
  VisitLinks(lines, styleSheet, [&](const TLinkSpot& spot) {
    const std::string_view local = LocalPart(SpotText(lines, spot));
    if (local.empty()) return;
    const auto it = relinks.find(RemoveDotSegments(folder + DecodeLocalLink(local)));
    if (it == relinks.end()) return;
    const TRelink& to = it->second;
    std::string text;
    if (!to.Url.empty()) {
      text = ForSpot(to.Url, spot.Kind);
    } else if (!to.LocalPath.empty()) {
      const std::string_view path = to.LocalPath;
      const std::string_view targetFolder = FolderOf(path);
      text = EncodeLocalLink(
          RelativeLocalPath(folder, targetFolder, path.substr(targetFolder.size())));
    } else {
      return;
    }
    edits.push_back(TLineEdit{spot.Line, spot.Pos, local.size(), std::move(text)});
  });
  const auto count = static_cast<int32_t>(edits.size());
  ApplyLineEdits(lines, edits);
  return count;
}

std::vector<std::string> LocalLinksOf(const std::vector<std::string>& lines,
                                      std::string_view pageLocalPath, bool styleSheet) {
  const std::string folder(FolderOf(pageLocalPath));
  std::vector<std::string> paths;
  std::unordered_set<std::string> seen;
  VisitLinks(lines, styleSheet, [&](const TLinkSpot& spot) {
    const std::string_view local = LocalPart(SpotText(lines, spot));
    if (local.empty()) return;
    std::string path = RemoveDotSegments(folder + DecodeLocalLink(local));
    if (seen.insert(path).second) paths.push_back(std::move(path));
  });
  return paths;
}

}  // namespace kestrix
