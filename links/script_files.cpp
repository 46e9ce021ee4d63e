#include "links/script_files.h"

#include <algorithm>
#include <exception>

#include "core/ascii.h"
#include "core/parsed_url.h"
#include "links/html_items.h"
#include "links/link_extraction.h"
#include "links/link_text.h"

namespace kestrix {
namespace {

constexpr std::string_view kPartExtensions[] = {"js",  "json", "css",  "png",  "jpg",   "jpeg",
                                                "gif", "svg",  "webp", "woff", "woff2", "ttf"};

// Characters no file name in a script string holds: blanks, markup,
// quotes, template and concatenation syntax.
bool IsForeignChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= ' ' || byte >= 127 ||
         std::string_view("<>\"'`{}()[]|^*$,;+\\").find(c) != std::string_view::npos;
}

// The lower-cased extension of the path's last segment, when that segment
// has a name before its dot.
std::string SegmentExtension(std::string_view path) {
  const std::string_view segment = path.substr(path.rfind('/') + 1);
  const std::size_t dot = segment.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return AsciiLower(segment.substr(dot + 1));
}

bool IsPartExtension(std::string_view ext) {
  return std::find(std::begin(kPartExtensions), std::end(kPartExtensions), ext) !=
         std::end(kPartExtensions);
}

// The path of a name: what follows its scheme and server, before a query.
std::string_view NamePath(std::string_view name) {
  const std::string_view scheme = LinkScheme(name);
  if (!scheme.empty()) name.remove_prefix(scheme.size() + 1);
  if (name.starts_with("//")) {
    const std::size_t slash = name.find('/', 2);
    name = slash == std::string_view::npos ? std::string_view() : name.substr(slash);
  }
  return name.substr(0, name.find_first_of("?#"));
}

// The file name a string's text stands for, or "" when it is not one.
std::string AsFileName(std::string_view text) {
  if (text.empty() || text.size() > kMaxScriptFileName) return {};
  std::string name;
  name.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // JSON written into a page escapes its slashes.
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '/') {
      name += '/';
      ++i;
      continue;
    }
    if (IsForeignChar(text[i])) return {};
    name += text[i];
  }
  if (name.front() == '#' || name.front() == '?') return {};
  const std::string_view scheme = LinkScheme(name);
  if (!scheme.empty() && (!(EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https")) ||
                          !std::string_view(name).substr(scheme.size() + 1).starts_with("//"))) {
    return {};
  }
  return IsPartExtension(SegmentExtension(NamePath(name))) ? name : std::string();
}

int32_t KindOfFile(std::string_view name) {
  const std::string ext = SegmentExtension(NamePath(name));
  if (ext == "css") return kKindLink;
  if (ext == "js" || ext == "json") return kKindScript;
  return kKindImg;
}

// Whether a SCRIPT tag's type, if it has one, is a program's.
bool IsProgramType(std::string_view tagText) {
  const std::string lower = AsciiLower(tagText);
  for (std::size_t at = lower.find("type"); at != std::string::npos;
       at = lower.find("type", at + 4)) {
    if (at == 0 || !IsHtmlSpace(lower[at - 1])) continue;
    std::size_t v = at + 4;
    while (v < lower.size() && IsHtmlSpace(lower[v])) ++v;
    if (v >= lower.size() || lower[v] != '=') continue;
    ++v;
    while (v < lower.size() && IsHtmlSpace(lower[v])) ++v;
    std::string_view value = std::string_view(lower).substr(v);
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
      value = value.substr(1, value.find(value.front(), 1) - 1);
    } else {
      value = value.substr(0, value.find(' '));
    }
    return value.empty() || value == "module" || value.find("javascript") != value.npos ||
           value.find("ecmascript") != value.npos || value == "text/jscript";
  }
  return true;
}

std::size_t FindScriptEnd(std::string_view line) {
  for (std::size_t at = line.find("</"); at != std::string_view::npos;
       at = line.find("</", at + 2)) {
    if (StartsNoCase(line.substr(at + 2), "script")) return at;
  }
  return std::string_view::npos;
}

// Whether the string from `open` to `close` (its quotes) is joined to
// something else with "+": then it is a piece of a name the script builds
// from a root of its own, not a name relative to the page.
bool IsJoined(std::string_view script, std::size_t open, std::size_t close) {
  std::size_t before = open;
  while (before > 0 && IsHtmlSpace(script[before - 1])) --before;
  std::size_t after = close + 1;
  while (after < script.size() && IsHtmlSpace(script[after])) ++after;
  return (before > 0 && script[before - 1] == '+') ||
         (after < script.size() && script[after] == '+');
}

}  // namespace

std::vector<std::string> FindScriptNamedFiles(std::string_view script, std::size_t limit) {
  std::vector<std::string> found;
  std::size_t i = 0;
  while (i < script.size() && found.size() < limit) {
    const char c = script[i];
    if (c == '/' && i + 1 < script.size() && (script[i + 1] == '/' || script[i + 1] == '*')) {
      const bool line = script[i + 1] == '/';
      const std::size_t end = script.find(line ? "\n" : "*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + (line ? 1 : 2);
      continue;
    }
    if (c != '"' && c != '\'' && c != '`') {
      ++i;
      continue;
    }
    // A string ends on its own line; one that does not is no string.
    std::size_t j = i + 1;
    while (j < script.size() && script[j] != c && script[j] != '\n') j += script[j] == '\\' ? 2 : 1;
    if (j >= script.size()) break;
    if (script[j] == c && !IsJoined(script, i, j)) {
      std::string name = AsFileName(script.substr(i + 1, j - i - 1));
      if (!name.empty() && std::find(found.begin(), found.end(), name) == found.end()) {
        found.push_back(std::move(name));
      }
    }
    i = j + 1;
  }
  return found;
}

std::string InlineScriptBody(const std::vector<std::string>& lines, const THTMLTag& tag) {
  if (tag.FindParam("src") != nullptr || !IsProgramType(tag.RawText)) return {};
  if (tag.EndPos == std::string::npos || tag.EndLine < 0) return {};
  std::string body;
  for (auto i = static_cast<std::size_t>(tag.EndLine); i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (i == static_cast<std::size_t>(tag.EndLine)) {
      line = line.substr(std::min(tag.EndPos + 1, line.size()));
    } else {
      body += '\n';
    }
    const std::size_t end = FindScriptEnd(line);
    body += line.substr(0, end);
    if (end != std::string_view::npos) break;
  }
  return body;
}

void AdmitScriptFiles(TPageAnalysis& analysis, std::string_view script) {
  const TPageContext& page = analysis.Context();
  if (!page.Page.Job->checkLoadScript) return;
  const TParsedUrl self = ParseUrl(page.Page.Job.editUrl);
  for (const std::string& name : FindScriptNamedFiles(script, kMaxFilesPerScript)) {
    if (IsAbsoluteLink(name)) {
      const std::string url = name.starts_with("//") ? page.PageProto + ":" + name : name;
      if (!SameServer(ParseUrl(url), self)) continue;
    }
    if (!analysis.TakeScriptFile()) return;
    THTMLTag tag;
    tag.Kind = KindOfFile(name);
    tag.Name = tag.Kind == kKindLink ? "LINK" : tag.Kind == kKindScript ? "SCRIPT" : "IMG";
    THTMLParam& param = tag.Params.emplace_back();
    param.Name = tag.Kind == kKindLink ? "href" : "src";
    param.Value = name;
    TLinkCandidate candidate;
    if (!analysis.BuildCandidate(tag, candidate)) continue;
    candidate.Rec.ScriptNamed = 1;
    analysis.Admit(tag, candidate);
  }
}

void AdmitInlineScriptFiles(TPageAnalysis& analysis, const THTMLTag& tag) {
  if (!analysis.Context().Page.Job->checkLoadScript) return;
  const std::string body = InlineScriptBody(analysis.Context().Lines, tag);
  if (!body.empty()) AdmitScriptFiles(analysis, body);
}

std::optional<std::string> AnalyseScriptFile(std::string_view script, const TRetriveRec& page,
                                             int32_t pageIndex, TAnalysisTarget& target,
                                             ScriptResolver& resolver) {
  if (!page.Job->checkLoadScript) return std::nullopt;
  std::vector<std::string> noLines;
  TPageAnalysis analysis(noLines, page, pageIndex, target, resolver);
  try {
    AdmitScriptFiles(analysis, script);
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::nullopt;
}

}  // namespace kestrix
