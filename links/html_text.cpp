#include <array>
#include <cstdint>

#include "links/byte_scan.h"
#include "links/html_items.h"

namespace kestrix {
namespace {

struct Entity {
  std::string_view name;
  int code;
};

// The four markup characters, then the Latin-1 names in code order (160-255).
constexpr std::array<Entity, 100> kEntities = {{
    {"&quot;", 34},    {"&amp;", 38},     {"&lt;", 60},      {"&gt;", 62},      {"&nbsp;", 160},
    {"&iexcl;", 161},  {"&cent;", 162},   {"&pound;", 163},  {"&curren;", 164}, {"&yen;", 165},
    {"&brvbar;", 166}, {"&sect;", 167},   {"&uml;", 168},    {"&copy;", 169},   {"&ordf;", 170},
    {"&laquo;", 171},  {"&not;", 172},    {"&shy;", 173},    {"&reg;", 174},    {"&macr;", 175},
    {"&deg;", 176},    {"&plusmn;", 177}, {"&sup2;", 178},   {"&sup3;", 179},   {"&acute;", 180},
    {"&micro;", 181},  {"&para;", 182},   {"&middot;", 183}, {"&cedil;", 184},  {"&sup1;", 185},
    {"&ordm;", 186},   {"&raquo;", 187},  {"&frac14;", 188}, {"&frac12;", 189}, {"&frac34;", 190},
    {"&iquest;", 191}, {"&Agrave;", 192}, {"&Aacute;", 193}, {"&Acirc;", 194},  {"&Atilde;", 195},
    {"&Auml;", 196},   {"&Aring;", 197},  {"&AElig;", 198},  {"&Ccedil;", 199}, {"&Egrave;", 200},
    {"&Eacute;", 201}, {"&Ecirc;", 202},  {"&Euml;", 203},   {"&Igrave;", 204}, {"&Iacute;", 205},
    {"&Icirc;", 206},  {"&Iuml;", 207},   {"&ETH;", 208},    {"&Ntilde;", 209}, {"&Ograve;", 210},
    {"&Oacute;", 211}, {"&Ocirc;", 212},  {"&Otilde;", 213}, {"&Ouml;", 214},   {"&times;", 215},
    {"&Oslash;", 216}, {"&Ugrave;", 217}, {"&Uacute;", 218}, {"&Ucirc;", 219},  {"&Uuml;", 220},
    {"&Yacute;", 221}, {"&THORN;", 222},  {"&szlig;", 223},  {"&agrave;", 224}, {"&aacute;", 225},
    {"&acirc;", 226},  {"&atilde;", 227}, {"&auml;", 228},   {"&aring;", 229},  {"&aelig;", 230},
    {"&ccedil;", 231}, {"&egrave;", 232}, {"&eacute;", 233}, {"&ecirc;", 234},  {"&euml;", 235},
    {"&igrave;", 236}, {"&iacute;", 237}, {"&icirc;", 238},  {"&iuml;", 239},   {"&eth;", 240},
    {"&ntilde;", 241}, {"&ograve;", 242}, {"&oacute;", 243}, {"&ocirc;", 244},  {"&otilde;", 245},
    {"&ouml;", 246},   {"&divide;", 247}, {"&oslash;", 248}, {"&ugrave;", 249}, {"&uacute;", 250},
    {"&ucirc;", 251},  {"&uuml;", 252},   {"&yacute;", 253}, {"&thorn;", 254},  {"&yuml;", 255},
}};

// Control characters and the no-break space read as a plain space; every
// other code stands for itself in the page's own code page.
char CharForCode(int code) {
  return code < 32 || code == 160 ? ' ' : static_cast<char>(code);
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code of a numeric reference body ("65", "x41"), or -1. At most three
// characters, the "x" included, so values stay within one byte's reach.
int NumericCode(std::string_view body) {
  if (body.empty() || body.size() > 3) return -1;
  const bool hex = body[0] == 'x' || body[0] == 'X';
  if (hex) body.remove_prefix(1);
  if (body.empty()) return -1;
  int value = 0;
  for (char c : body) {
    const int digit = DigitValue(c, hex);
    if (digit < 0) return -1;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

// Built into a new text rather than replaced in place, and with the next
// terminator remembered, so that a page full of "&" costs one pass.
void DecodeReferences(std::string& s) {
  std::string out;
  out.reserve(s.size());
  std::size_t term = 0;  // the first ";" or " " at or after the current "&"
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '&') {
      const std::size_t amp = s.find('&', i);
      const std::size_t stop = amp == std::string::npos ? s.size() : amp;
      out.append(s, i, stop - i);
      i = stop;
      continue;
    }
    if (term <= i) {
      term = s.find_first_of("; ", i + 1);
      if (term == std::string::npos) term = s.size();
    }
    const bool terminated = term < s.size();
    const std::size_t end = terminated ? term + 1 : s.size();
    const std::string_view ref(s.data() + i, end - i);
    if (ref.size() > 2 && ref[1] == '#') {
      std::string_view body = ref.substr(2);
      if (terminated) body.remove_suffix(1);
      const int code = NumericCode(body);
      if (code >= 0 && code <= 255) {
        out.push_back(CharForCode(code));
      } else {
        out.append(ref);  // left as written, a value above 255 included
      }
      i = end;
      continue;
    }
    // A name cut off by the end of the text may match a longer one; a bare
    // "&" at the end matches none, or it would turn into a double quote.
    // Names are short, so a longer reference is no name.
    const Entity* match = nullptr;
    if (ref.size() > 1 && ref.size() <= 10) {
      for (const Entity& e : kEntities) {
        if (e.name.starts_with(ref)) {
          match = &e;
          break;
        }
      }
    }
    if (match) {
      // The numeric form a name stands for decodes to the code's character.
      out.push_back(CharForCode(match->code));
      i = end;
    } else {
      out.push_back('&');
      ++i;
    }
  }
  s = std::move(out);
}

// False positives only cost the slow path; a text that needs work is never
// missed.
bool NeedsDecoding(std::string_view text) {
  const char* data = text.data();
  std::size_t i = 0;
  uint64_t spaceBefore = 0;  // the last lane of the previous word was a space
  for (; i + 8 <= text.size(); i += 8) {
    const uint64_t word = LoadWord(data + i);
    const uint64_t spaces = MatchByte(word, ' ');
    if (MatchByte(word, '&') | MatchByte(word, '\n') | MatchByte(word, '\t') |
        (spaces & ((spaces >> 8) | spaceBefore))) {
      return true;
    }
    spaceBefore = (spaces >> 63) << 7;
  }
  if (spaceBefore && i < text.size() && text[i] == ' ') return true;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&' || c == '\n' || c == '\t') return true;
    if (c == ' ' && i + 1 < text.size() && text[i + 1] == ' ') return true;
  }
  return false;
}

}  // namespace

std::string DecodeHtmlText(std::string_view text) {
  std::string out;
  DecodeHtmlTextInto(text, out);
  return out;
}

void DecodeHtmlTextInto(std::string_view text, std::string& s) {
  if (!NeedsDecoding(text)) {
    s.assign(text);
    return;
  }
  s.clear();
  s.reserve(text.size());
  for (char c : text) {
    if (c == '\n') c = ' ';
    if (c == ' ' && !s.empty() && s.back() == ' ') continue;
    s.push_back(c);
  }
  std::erase(s, '\t');
  DecodeReferences(s);
}

void THTMLText::SetText(std::string_view text) {
  RawText = text;
  DecodeHtmlTextInto(text, Text);
}

}  // namespace kestrix
