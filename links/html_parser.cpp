#include "links/html_parser.h"

#include <array>

#include "links/byte_scan.h"
#include "links/text_util.h"

namespace kestrix {
namespace {

// The only tag names the parser keeps; any other tag is dropped entirely.
// SOURCE gives a picture its images (srcset) or a video its file; OBJECT,
// VIDEO, AUDIO and TRACK name the other files a page shows.
constexpr std::array<std::string_view, kRecognisedNames> kRecognised = {
    "BASE",   "A",       "/A",     "IMG",    "AREA",  "FRAME",  "FORM",
    "/FORM",  "META",    "EMBED",  "/EMBED", "LINK",  "SCRIPT", "/SCRIPT",
    "IFRAME", "/IFRAME", "SOURCE", "OBJECT", "VIDEO", "AUDIO",  "TRACK"};

// From SOURCE on, the names are of tags whose closing tag is not read, or
// that have none: like IMG, they never become the element that later text
// belongs to.
constexpr int kFirstMediaName = 16;
constexpr int kVideoName = 18;
static_assert(kRecognised[kFirstMediaName] == "SOURCE" && kRecognised[kVideoName] == "VIDEO");

bool HoldsText(const THTMLTag& tag, int index) {
  return tag.Kind != kKindImg && index < kFirstMediaName;
}

int RecognisedIndex(std::string_view tagText) {
  const std::string_view name = tagText.substr(0, tagText.find(' '));
  if (name.empty() || name.size() > 7) return -1;
  char upper[8];
  for (std::size_t i = 0; i < name.size(); ++i) upper[i] = AsciiUpper(name[i]);
  const std::string_view key(upper, name.size());
  for (std::size_t i = 0; i < kRecognised.size(); ++i) {
    if (kRecognised[i] == key) return static_cast<int>(i);
  }
  return -1;
}

// Bytes that interrupt a run of plain characters.
constexpr std::array<bool, 256> MakeSpecial() {
  std::array<bool, 256> special{};
  special['<'] = special['>'] = special['\t'] = true;
  return special;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecial();

bool EndsWithLower(std::string_view s, std::string_view lowerSuffix) {
  if (s.size() < lowerSuffix.size()) return false;
  const std::string_view tail = s.substr(s.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (AsciiLowerChar(tail[i]) != lowerSuffix[i]) return false;
  }
  return true;
}

bool StartsWithLower(std::string_view s, std::string_view lowerPrefix) {
  return s.size() >= lowerPrefix.size() &&
         EndsWithLower(s.substr(0, lowerPrefix.size()), lowerPrefix);
}

}  // namespace

void THTMLParser::Clear() {
  std::vector<THTMLItem>().swap(Items);
  std::deque<THTMLTag>().swap(tags_);
  std::deque<THTMLText>().swap(texts_);
  std::deque<THTMLText>().swap(scratchTexts_);
  std::string().swap(textBuffer_);
  blankPrefix_ = 0;
  std::string().swap(tagBuffer_);
  scratch_ = THTMLTag();
  currentTag_ = nullptr;
  HasScript = false;
  for (int32_t& n : sameName_) n = 0;
  textCount_ = 0;
}

int32_t THTMLParser::TagCount(std::string_view upperName) const {
  const int index = RecognisedIndex(upperName);
  return index < 0 || upperName.find(' ') != std::string_view::npos ? 0 : sameName_[index];
}

void THTMLParser::Parse() {
  ClearText();
  tagBuffer_.clear();
  inTag_ = false;
  commentDepth_ = 0;
  scriptDepth_ = 0;
  if (!Lines) return;
  const auto count = static_cast<int32_t>(Lines->size());
  for (int32_t i = 0; i < count; ++i) {
    const std::string& line = (*Lines)[static_cast<std::size_t>(i)];
    if (inTag_) {
      // Attributes on separate lines stay separated.
      if (line.empty()) continue;
      tagBuffer_.push_back(' ');
    }
    ScanLine(line, i);
  }
  const int32_t last = count > 0 ? count - 1 : 0;
  // A tag cut off by the end of the page is still built, as what its own
  // text says it is.
  if (inTag_ && !tagBuffer_.empty()) {
    TagStep(tagStart_, last, tagBuffer_.front() == '/', std::string::npos);
  } else if (!textBuffer_.empty()) {
    FlushText(last, last);
  }
}

void THTMLParser::ScanLine(std::string_view line, int32_t lineIndex) {
  const char* data = line.data();
  const std::size_t size = line.size();
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t stop = pos;
    while (stop + 8 <= size) {
      const uint64_t word = LoadWord(data + stop);
      const uint64_t hit = MatchByte(word, '<') | MatchByte(word, '>') | MatchByte(word, '\t');
      if (hit) {
        stop += FirstLane(hit);
        break;
      }
      stop += 8;
    }
    while (stop < size && !kSpecial[static_cast<unsigned char>(data[stop])]) ++stop;
    if (stop > pos) (inTag_ ? tagBuffer_ : textBuffer_).append(data + pos, stop - pos);
    if (stop == size) break;
    const char c = data[stop];
    pos = stop + 1;
    if (c == '<') {
      inTag_ = true;
      tagStart_ = lineIndex;
      tagStartPos_ = stop;
      FlushText(lineIndex, lineIndex);
    } else if (c == '>') {
      TagStep(tagStart_, lineIndex, inTag_ && !tagBuffer_.empty() && tagBuffer_.front() == '/',
              stop);
    }
  }
}

void THTMLParser::FlushText(int32_t startLine, int32_t endLine) {
  if (scriptDepth_ >= 1) {
    // A "<" inside a script never starts a tag.
    ClearText();
    inTag_ = false;
    return;
  }
  // Blank runs wait to be joined with what follows; only what came since the
  // last look is looked at.
  while (blankPrefix_ < textBuffer_.size() &&
         static_cast<unsigned char>(textBuffer_[blankPrefix_]) <= ' ') {
    ++blankPrefix_;
  }
  if (blankPrefix_ == textBuffer_.size()) return;
  blankPrefix_ = 0;
  const bool listed = (KeptKinds & (kKeepAll | kKeepTexts)) != 0 ||
                      ((KeptKinds & kKeepA) != 0 && currentTag_ && currentTag_->Name == "A");
  if (!listed && !currentTag_) {
    // Nothing could ever reach this text.
    ClearText();
    return;
  }
  // An unlisted text is reachable only through its element, so the run it
  // replaces there can be reused instead of piling up until Clear.
  THTMLText* text = !listed && currentTag_->Text ? currentTag_->Text : &texts_.emplace_back();
  text->SetText(textBuffer_);
  text->StartLine = startLine;
  text->EndLine = endLine;
  text->Parent = currentTag_;
  text->Index = textCount_;
  ClearText();
  if (currentTag_) currentTag_->Text = text;
  if (listed) {
    Items.emplace_back(text);
    ++textCount_;
  }
}

void THTMLParser::TagStep(int32_t startLine, int32_t endLine, bool closing, std::size_t endPos) {
  if (commentDepth_ == 0 && tagBuffer_.starts_with("!--")) commentDepth_ = 1;
  if (commentDepth_ > 0) {
    // Everything up to the ">" that follows a "--" is thrown away.
    if (tagBuffer_.ends_with("--")) commentDepth_ = 0;
    tagBuffer_.clear();
    inTag_ = commentDepth_ > 0;
    return;
  }
  if (scriptDepth_ == 0 && StartsWithLower(tagBuffer_, "script")) {
    scriptDepth_ = 1;
  } else if (scriptDepth_ >= 1) {
    // The body is skipped; its end does not close the SCRIPT element.
    if (EndsWithLower(textBuffer_, "/script")) --scriptDepth_;
    ClearText();
    tagBuffer_.clear();
    inTag_ = false;
    return;
  }
  BuildTag(startLine, endLine, closing, endPos);
}

void THTMLParser::NoteScript(std::string_view tagText) {
  if (HasScript || !(ContainsUpper(tagText, "JAVASCRIPT:") || ContainsUpper(tagText, "ONCLICK"))) {
    return;
  }
  scratch_ = THTMLTag();
  scratch_.Parse(tagText, HasScript, scratchTexts_);
  scratchTexts_.clear();
}

void THTMLParser::BuildTag(int32_t startLine, int32_t endLine, bool closing, std::size_t endPos) {
  inTag_ = false;
  const int index = RecognisedIndex(tagBuffer_);
  if (index < 0 || closing) {
    // Dropped tags and closing tags are read for scripts and then freed.
    NoteScript(tagBuffer_);
    if (index >= 0 && currentTag_) currentTag_ = currentTag_->Parent;
    tagBuffer_.clear();
    return;
  }
  THTMLTag& tag = tags_.emplace_back();
  tag.Parse(tagBuffer_, HasScript, texts_);
  tagBuffer_.clear();
  tag.SameNameIndex = sameName_[index];
  tag.StartLine = startLine;
  tag.EndLine = endLine;
  tag.StartPos = tagStartPos_;
  tag.EndPos = endPos;
  tag.Parent = currentTag_;
  if (HoldsText(tag, index)) currentTag_ = &tag;
  if (IsListed(tag.Kind, index == kVideoName)) {
    Items.emplace_back(&tag);
    ++sameName_[index];
  }
}

bool THTMLParser::IsListed(int32_t kind, bool video) const {
  // A video names its file and the picture shown before it plays.
  if (video && (KeptKinds & kKeepImg)) return true;
  switch (kind) {
    case kKindBase:
    case kKindForm:
    case kKindArea:
    case kKindMeta:
      return true;
    default:
      break;
  }
  if (KeptKinds & kKeepAll) return true;
  switch (kind) {
    case kKindFrame:
      return KeptKinds & kKeepFrame;
    case kKindIFrame:
      return KeptKinds & kKeepIFrame;
    case kKindA:
    case kKindFtp:
      return KeptKinds & kKeepA;
    case kKindImg:
      return KeptKinds & kKeepImg;
    case kKindEmbed:
      return KeptKinds & kKeepEmbed;
    case kKindLink:
      return KeptKinds & kKeepLink;
    case kKindScript:
      return KeptKinds & kKeepScript;
    default:
      return false;
  }
}

}  // namespace kestrix
