#include "links/style_blocks.h"

#include <algorithm>
#include <string_view>

#include "core/ascii.h"
#include "links/text_util.h"

namespace kestrix {
namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == ':';
}

// The page as one text, with the offset where each line starts, so that a
// position in the text maps back to a line and a byte in it.
class TFlatPage {
 public:
  explicit TFlatPage(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    text_.reserve(size);
    for (const std::string& line : lines) {
      starts_.push_back(text_.size());
      text_ += line;
      text_ += '\n';
    }
  }

  std::string_view Text() const { return text_; }

  void Place(size_t offset, int32_t& line, size_t& pos) const {
    const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const auto index = static_cast<size_t>(it - starts_.begin()) - 1;
    line = static_cast<int32_t>(index);
    pos = offset - starts_[index];
  }

 private:
  std::string text_;
  std::vector<size_t> starts_;
};

// Whether `text` at `at` opens an element named `name` ("<style", "<script").
bool OpensElement(std::string_view text, size_t at, std::string_view name) {
  if (!StartsNoCase(text.substr(at + 1), name)) return false;
  const size_t after = at + 1 + name.size();
  return after < text.size() &&
         (IsHtmlSpace(text[after]) || text[after] == '>' || text[after] == '/');
}

size_t FindNoCase(std::string_view text, std::string_view lowerNeedle, size_t from) {
  while (from < text.size()) {
    const size_t at = text.find('<', from);
    if (at == std::string_view::npos) return text.size();
    if (StartsNoCase(text.substr(at), lowerNeedle)) return at;
    from = at + 1;
  }
  return text.size();
}

}  // namespace

std::vector<TStyleRegion> FindStyleRegions(const std::vector<std::string>& lines) {
  std::vector<TStyleRegion> regions;
  bool any = false;
  for (const std::string& line : lines) {
    if (ContainsNoCase(line, "style")) {
      any = true;
      break;
    }
  }
  if (!any) return regions;
  const TFlatPage page(lines);
  const std::string_view text = page.Text();
  auto add = [&](size_t from, size_t to, bool attribute) {
    TStyleRegion region;
    region.Attribute = attribute;
    page.Place(from, region.StartLine, region.StartPos);
    page.Place(to, region.EndLine, region.EndPos);
    regions.push_back(region);
  };
  size_t p = 0;
  while (p < text.size()) {
    const size_t lt = text.find('<', p);
    if (lt == std::string_view::npos) break;
    if (text.substr(lt, 4) == "<!--") {
      const size_t end = text.find("-->", lt + 4);
      p = end == std::string_view::npos ? text.size() : end + 3;
      continue;
    }
    const bool script = OpensElement(text, lt, "script");
    const bool style = OpensElement(text, lt, "style");
    if (lt + 1 >= text.size() || !(IsNameChar(text[lt + 1]))) {
      p = lt + 1;
      continue;
    }
    // Through the tag's attributes to its ">", noting style="...".
    size_t q = lt + 1;
    while (q < text.size() && IsNameChar(text[q])) ++q;
    while (q < text.size() && text[q] != '>') {
      if (text[q] == '"' || text[q] == '\'') {
        const size_t close = text.find(text[q], q + 1);
        q = close == std::string_view::npos ? text.size() : close + 1;
        continue;
      }
      if (!IsNameChar(text[q])) {
        ++q;
        continue;
      }
      const size_t nameStart = q;
      while (q < text.size() && IsNameChar(text[q])) ++q;
      const std::string_view name = text.substr(nameStart, q - nameStart);
      size_t v = q;
      while (v < text.size() && IsHtmlSpace(text[v])) ++v;
      if (v >= text.size() || text[v] != '=') continue;
      ++v;
      while (v < text.size() && IsHtmlSpace(text[v])) ++v;
      if (v >= text.size() || (text[v] != '"' && text[v] != '\'')) {
        q = v;
        continue;
      }
      const size_t close = text.find(text[v], v + 1);
      const size_t end = close == std::string_view::npos ? text.size() : close;
      if (name.size() == 5 && StartsNoCase(name, "style") && end > v + 1) add(v + 1, end, true);
      q = end == text.size() ? end : end + 1;
    }
    p = q < text.size() ? q + 1 : text.size();
    if (script || style) {
      // The body runs to the closing tag; a script's is not style text.
      const size_t close = FindNoCase(text, script ? "</script" : "</style", p);
      if (style && close > p) add(p, close, false);
      p = close;
    }
  }
  return regions;
}

}  // namespace kestrix
