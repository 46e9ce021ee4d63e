// What the HTML parser produces: tags that can carry links, their kept
// attributes, and runs of text. Every tag and text remembers the lines where
// it started and ended, because link rewriting edits the page line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Tag kinds; the numbers are shared with the queue entry's link kind, the
// admission rules, the queue views and the exploration test.
inline constexpr int32_t kKindNone = 0;
inline constexpr int32_t kKindA = 1;
inline constexpr int32_t kKindImg = 2;
inline constexpr int32_t kKindFrame = 3;
inline constexpr int32_t kKindIFrame = 4;
inline constexpr int32_t kKindForm = 5;
inline constexpr int32_t kKindBase = 6;
inline constexpr int32_t kKindArea = 7;
inline constexpr int32_t kKindMeta = 8;
inline constexpr int32_t kKindEmbed = 9;
inline constexpr int32_t kKindScript = 10;
inline constexpr int32_t kKindLink = 11;
inline constexpr int32_t kKindFtp = 12;  // an "A" whose href begins with "ftp://"

class THTMLTag;
class THTMLText;

// One attribute as written, e.g. href="a.html".
class THTMLParam {
 public:
  std::string RawText;  // the attribute as written, quotes included
  std::string Name;     // text before the first "="; the whole text without one
  std::string Value;    // text after the first "=", one enclosing quote removed at each end

  void Parse(std::string_view text);
};

class THTMLText {
 public:
  std::string Text;            // decoded: line feeds, space runs, tabs, character references
  std::string RawText;         // as collected
  THTMLTag* Parent = nullptr;  // the element open when the run ended; none for an alt text
  int32_t Index = 0;           // how many listed texts precede it
  int32_t StartLine = 0;
  int32_t EndLine = 0;

  void SetText(std::string_view text);
};

class THTMLTag {
 public:
  std::string Name;     // upper case, with a leading "/" for closing tags
  std::string RawText;  // everything between "<" and ">" as collected
  int32_t Kind = kKindNone;
  THTMLTag* Parent = nullptr;              // the element open when this tag was read
  int32_t SameNameIndex = 0;               // how many listed tags with the same name precede it
  int32_t StartLine = 0;                   // 0-based line of its "<"
  int32_t EndLine = 0;                     // 0-based line of its ">"
  std::size_t StartPos = 0;                // byte offset of its "<" in StartLine
  std::size_t EndPos = std::string::npos;  // byte offset of its ">" in EndLine; npos: line end
  std::vector<THTMLParam> Params;          // only attributes mentioning a link word
  THTMLText* Text = nullptr;               // the element's linked text, or none
  std::string Rel;  // the "rel" and "rev" values, which say what a LINK names
  std::string Rev;

  // Fills Name, RawText, Params, Kind and, from an "alt"-bearing attribute,
  // Text (allocated from `texts`). Sets `hasScript` when a kept attribute
  // mentions "javascript:" or "onclick".
  void Parse(std::string_view text, bool& hasScript, std::deque<THTMLText>& texts);

  // The first parameter whose name equals `name` without regard to ASCII case.
  const THTMLParam* FindParam(std::string_view name) const;
};

// Decodes character references in `text` after folding line feeds, space
// runs and tabs; the result is what THTMLText::SetText stores in Text.
std::string DecodeHtmlText(std::string_view text);
// The same into `out`, reusing its storage.
void DecodeHtmlTextInto(std::string_view text, std::string& out);

// The kind number for an upper-case tag name, 0 when it has none.
int32_t TagKindOf(std::string_view upperName);

}  // namespace kestrix
