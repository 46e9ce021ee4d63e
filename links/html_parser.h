// A flat scanner for downloaded pages. It is not a general HTML parser: it
// keeps only the tag names that can carry links, only the attributes
// whose text mentions a link word, and follows comments and scripts only as
// far as needed to skip them. One parser serves every page in turn.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "links/html_items.h"

namespace kestrix {

// Bits of THTMLParser::KeptKinds. BASE, FORM, AREA and META are listed
// whatever the set holds.
inline constexpr uint16_t kKeepAll = 1u << 0;
inline constexpr uint16_t kKeepFrame = 1u << 1;
inline constexpr uint16_t kKeepIFrame = 1u << 2;
inline constexpr uint16_t kKeepA = 1u << 3;  // also the texts inside an A
inline constexpr uint16_t kKeepImg = 1u << 4;
inline constexpr uint16_t kKeepTexts = 1u << 5;
inline constexpr uint16_t kKeepEmbed = 1u << 6;
inline constexpr uint16_t kKeepLink = 1u << 7;
inline constexpr uint16_t kKeepScript = 1u << 8;

// How many tag names the parser recognises, closing ones included.
inline constexpr std::size_t kRecognisedNames = 21;

// One listed item: a tag or a text, owned by the parser until its next Clear.
using THTMLItem = std::variant<THTMLTag*, THTMLText*>;

inline THTMLTag* AsTag(const THTMLItem& item) {
  const auto* tag = std::get_if<THTMLTag*>(&item);
  return tag ? *tag : nullptr;
}
inline THTMLText* AsText(const THTMLItem& item) {
  const auto* text = std::get_if<THTMLText*>(&item);
  return text ? *text : nullptr;
}

class THTMLParser {
 public:
  uint16_t KeptKinds = 0;
  bool HasScript = false;  // an attribute mentioned a script; reset only by Clear
  std::vector<THTMLItem> Items;
  const std::vector<std::string>* Lines = nullptr;  // the page, one string per line; not owned

  THTMLParser() = default;
  THTMLParser(const THTMLParser&) = delete;
  THTMLParser& operator=(const THTMLParser&) = delete;

  // Frees every tag and text (listed or not) and returns their memory.
  void Clear();
  // Reads Lines from first to last and appends to Items.
  void Parse();

  // Number of listed tags named `upperName`, and of listed texts.
  int32_t TagCount(std::string_view upperName) const;
  int32_t TextCount() const { return textCount_; }

 private:
  void ScanLine(std::string_view line, int32_t lineIndex);
  void FlushText(int32_t startLine, int32_t endLine);
  void TagStep(int32_t startLine, int32_t endLine, bool closing, std::size_t endPos);
  void BuildTag(int32_t startLine, int32_t endLine, bool closing, std::size_t endPos);
  bool IsListed(int32_t kind, bool video) const;
  void ClearText() {
    textBuffer_.clear();
    blankPrefix_ = 0;
  }
  void NoteScript(std::string_view tagText);

  std::string textBuffer_;  // characters outside tags since the last flush
  std::string tagBuffer_;   // characters of the current tag
  bool inTag_ = false;
  int32_t tagStart_ = 0;         // line of the last "<"
  std::size_t tagStartPos_ = 0;  // its byte offset in that line
  // How much of textBuffer_ is known to be blank, so that a long blank run
  // is not looked through again at every "<".
  std::size_t blankPrefix_ = 0;
  int32_t commentDepth_ = 0;
  int32_t scriptDepth_ = 0;
  THTMLTag* currentTag_ = nullptr;  // the innermost open element

  // Stable addresses: tags and texts refer to each other by pointer. Tags
  // and texts that are read but not listed live here too until Clear.
  std::deque<THTMLTag> tags_;
  std::deque<THTMLText> texts_;
  // Unrecognised and closing tags are read only for whether they mention a
  // script; they are parsed here and dropped.
  THTMLTag scratch_;
  std::deque<THTMLText> scratchTexts_;
  int32_t sameName_[kRecognisedNames] = {};
  int32_t textCount_ = 0;
};

}  // namespace kestrix
