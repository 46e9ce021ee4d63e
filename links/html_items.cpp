#include "links/html_items.h"

#include <array>

#include "links/text_util.h"

namespace kestrix {
namespace {

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// One enclosing quote off each end, for values longer than one character.
std::string_view Unquote(std::string_view value) {
  if (value.size() > 1) {
    if (IsQuote(value.front())) value.remove_prefix(1);
    if (!value.empty() && IsQuote(value.back())) value.remove_suffix(1);
  }
  return value;
}

// Cuts one attribute off the front of `rest` (which is trimmed). A quoted
// part ends the attribute at its closing quote; spaces end it unless what
// follows them is "=" or a quote, so that href = "a" stays one attribute.
std::string CutAttribute(std::string_view& rest) {
  std::string attr;
  std::size_t i = 0;
  char quote = 0;
  while (i < rest.size()) {
    const char c = rest[i];
    if (quote) {
      attr.push_back(c);
      ++i;
      if (c == quote) break;
    } else if (IsQuote(c)) {
      quote = c;
      attr.push_back(c);
      ++i;
    } else if (c == ' ') {
      std::size_t next = i;
      while (next < rest.size() && rest[next] == ' ') ++next;
      if (next < rest.size() && (rest[next] == '=' || IsQuote(rest[next]))) {
        i = next;
      } else {
        break;
      }
    } else {
      attr.push_back(c);
      ++i;
    }
  }
  rest = TrimControls(rest.substr(i));
  return attr;
}

bool HasLinkWord(std::string_view upper) {
  for (std::string_view word : {"HREF", "SRC", "ACTION", "ONCLICK", "URL"}) {
    if (upper.find(word) != std::string_view::npos) return true;
  }
  return false;
}

// Link attributes whose names hold no link word, kept for their tag only.
bool IsOwnLinkAttribute(std::string_view upperTagName, std::string_view upperAttr) {
  return (upperTagName == "OBJECT" && upperAttr.starts_with("DATA=")) ||
         (upperTagName == "VIDEO" && upperAttr.starts_with("POSTER="));
}

}  // namespace

int32_t TagKindOf(std::string_view upperName) {
  static constexpr std::array<std::string_view, 11> kKinds = {
      "A", "IMG", "FRAME", "IFRAME", "FORM", "BASE", "AREA", "META", "EMBED", "SCRIPT", "LINK"};
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (kKinds[i] == upperName) return static_cast<int32_t>(i + 1);
  }
  // A picture's SOURCE names images as an IMG does; the files a page
  // plays or embeds are its embedded objects.
  if (upperName == "SOURCE") return kKindImg;
  for (std::string_view name : {"OBJECT", "VIDEO", "AUDIO", "TRACK"}) {
    if (upperName == name) return kKindEmbed;
  }
  return kKindNone;
}

void THTMLParam::Parse(std::string_view text) {
  RawText = text;
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) {
    Name = text;
    Value.clear();
    return;
  }
  Name = text.substr(0, eq);
  Value = Unquote(text.substr(eq + 1));
}

void THTMLTag::Parse(std::string_view text, bool& hasScript, std::deque<THTMLText>& texts) {
  RawText = text;
  Params.clear();
  const std::size_t space = text.find(' ');
  Name = AsciiUpperString(text.substr(0, space));
  std::string_view rest =
      space == std::string_view::npos ? std::string_view() : TrimControls(text.substr(space));

  Rel.clear();
  Rev.clear();
  while (!rest.empty()) {
    const std::string attr = CutAttribute(rest);
    const std::string upper = AsciiUpperString(attr);
    if (upper.starts_with("REL=")) Rel = Unquote(std::string_view(attr).substr(4));
    if (upper.starts_with("REV=")) Rev = Unquote(std::string_view(attr).substr(4));
    if (HasLinkWord(upper) || IsOwnLinkAttribute(Name, upper)) {
      if (!hasScript && (upper.find("JAVASCRIPT:") != std::string::npos ||
                         upper.find("ONCLICK") != std::string::npos)) {
        hasScript = true;
      }
      Params.emplace_back().Parse(attr);
    }
    if (upper.find("ALT") != std::string::npos && !Text) {
      std::string_view value = attr;
      if (const std::size_t eq = value.find('='); eq != std::string_view::npos) {
        value.remove_prefix(eq + 1);
      }
      Text = &texts.emplace_back();
      Text->SetText(Unquote(value));
    }
  }

  Kind = TagKindOf(Name);
  // A SOURCE with a src is a video's or a sound's, not a picture's.
  if (Kind == kKindImg && Name == "SOURCE" && FindParam("src")) Kind = kKindEmbed;
  if (Kind == kKindA) {
    const THTMLParam* href = FindParam("HREF");
    if (href && AsciiLower(TrimControls(href->Value)).starts_with("ftp://")) Kind = kKindFtp;
  }
}

const THTMLParam* THTMLTag::FindParam(std::string_view name) const {
  const std::string wanted = AsciiUpperString(name);
  for (const THTMLParam& p : Params) {
    if (AsciiUpperString(p.Name) == wanted) return &p;
  }
  return nullptr;
}

}  // namespace kestrix
