#include "links/link_rewriting.h"

#include <algorithm>

#include "core/ascii.h"
#include "core/retrive_rec.h"
#include "links/html_items.h"
#include "links/link_extraction.h"
#include "links/link_text.h"
#include "links/local_naming.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

bool Localize(const TPageContext& page) {
  return page.Page.Job->checkLocalize;
}

int32_t LineCount(const TPageContext& page) {
  return static_cast<int32_t>(page.Lines.size());
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == ':';
}

// The bytes of line `i` that belong to the tag.
std::pair<size_t, size_t> SpanOn(const std::vector<std::string>& lines, const THTMLTag& tag,
                                 int32_t i) {
  const std::string& line = lines[static_cast<size_t>(i)];
  const size_t from = i == tag.StartLine ? std::min(tag.StartPos, line.size()) : 0;
  const size_t to = i == tag.EndLine ? std::min(tag.EndPos, line.size()) : line.size();
  return {from, std::max(from, to)};
}

// Whether the quote or "=" at `at` opens the value of the attribute `attr`.
bool OpensValueOf(std::string_view line, size_t at, std::string_view attr) {
  size_t k = at;
  if (line[at] != '=') {
    while (k > 0 && IsBlank(line[k - 1])) --k;
    if (k == 0 || line[k - 1] != '=') return false;
    --k;
  }
  while (k > 0 && IsBlank(line[k - 1])) --k;
  if (k < attr.size()) return false;
  const size_t start = k - attr.size();
  if (start > 0 && IsNameChar(line[start - 1])) return false;
  return StartsNoCase(line.substr(start, attr.size()), attr);
}

// Replaces the text at `place` (all of `text` but `kept` at its end) by
// `replacement`. A text that runs over several lines loses its part on each;
// the replacement takes the first line's place.
void Splice(TPageContext& page, const TTextPlace& place, std::string_view text,
            std::string_view kept, std::string replacement) {
  const bool keeps = !kept.empty() && text.ends_with(kept);
  const size_t removed = keeps ? text.size() - kept.size() : text.size();
  int32_t line = place.Line;
  size_t pos = place.Pos;
  for (size_t start = 0;; start = text.find('\n', start) + 1) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const size_t cut = std::min(end, removed) - std::min(start, removed);
    if (line == place.Line) {
      AddEdit(page, line, pos, cut, std::move(replacement));
    } else if (cut > 0) {
      AddEdit(page, line, pos, cut, "");
    }
    if (end >= removed) return;
    ++line;
    pos = 0;
  }
}

// Where `text`, broken over lines at its "\n"s, stands as `form` (a quote
// or "=") opening it: its first part ends a line of the tag, the middle
// parts are whole lines, the last begins a line and is closed there.
std::optional<TTextPlace> FindBrokenText(const std::vector<std::string>& lines, const THTMLTag& tag,
                                         std::string_view text, char form, std::string_view attr) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;; start = text.find('\n', start) + 1) {
    const size_t end = std::min(text.find('\n', start), text.size());
    parts.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
  }
  const auto count = static_cast<int32_t>(parts.size());
  const int32_t last = std::min<int32_t>(tag.EndLine, static_cast<int32_t>(lines.size()) - 1);
  std::optional<TTextPlace> first;
  for (int32_t i = std::max<int32_t>(tag.StartLine, 0); i + count - 1 <= last; ++i) {
    const std::string_view line = lines[static_cast<size_t>(i)];
    const auto [from, to] = SpanOn(lines, tag, i);
    const std::string opening = form + std::string(parts.front());
    if (to != line.size() || to - from < opening.size() || !line.ends_with(opening)) continue;
    bool matches = true;
    for (int32_t k = 1; matches && k < count; ++k) {
      const std::string_view next = lines[static_cast<size_t>(i + k)];
      const std::string_view part = parts[static_cast<size_t>(k)];
      if (k + 1 < count) {
        matches = next == part && SpanOn(lines, tag, i + k).second == next.size();
        continue;
      }
      const size_t close = part.size();
      const bool closed = form == '='
                              ? close == next.size() || IsBlank(next[close]) || next[close] == '>'
                              : close < next.size() && next[close] == form;
      matches = next.starts_with(part) && closed && close <= SpanOn(lines, tag, i + k).second;
    }
    if (!matches) continue;
    const size_t at = line.size() - opening.size();
    if (attr.empty() || OpensValueOf(line, at, attr)) return TTextPlace{i, at + 1};
    if (!first) first = TTextPlace{i, at + 1};
  }
  return first;
}

// Reads one attribute of a tag's text from `i`: its name, and its value
// when it has one. False at the tag's end.
bool NextAttribute(std::string_view text, size_t& i, std::string_view& name,
                   std::string_view& value) {
  while (i < text.size() && (IsBlank(text[i]) || text[i] == '/')) ++i;
  if (i >= text.size() || text[i] == '>') return false;
  const size_t start = i;
  while (i < text.size() && !IsBlank(text[i]) && text[i] != '=' && text[i] != '>') ++i;
  name = text.substr(start, std::max(i, start + 1) - start);
  if (i == start) ++i;  // a stray quote: stepped over
  value = {};
  size_t eq = i;
  while (eq < text.size() && IsBlank(text[eq])) ++eq;
  if (eq >= text.size() || text[eq] != '=') return true;
  i = eq + 1;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
    const size_t close = text.find(text[i], i + 1);
    const size_t end = close == std::string_view::npos ? text.size() : close;
    value = text.substr(i + 1, end - i - 1);
    i = end + 1;
    return true;
  }
  const size_t begin = i;
  while (i < text.size() && !IsBlank(text[i]) && text[i] != '>') ++i;
  value = text.substr(begin, i - begin);
  return true;
}

bool TagWithinPage(const TPageContext& page, const THTMLTag& tag) {
  return tag.StartLine >= 0 && LineCount(page) > tag.StartLine && LineCount(page) > tag.EndLine;
}

std::string_view WrittenFragment(std::string_view written) {
  const size_t hash = written.find('#');
  return hash == std::string_view::npos ? std::string_view() : written.substr(hash);
}

}  // namespace

std::optional<TTextPlace> FindLinkText(const std::vector<std::string>& lines, const THTMLTag& tag,
                                       std::string_view text, std::string_view attr) {
  if (text.find('\n') != std::string_view::npos) {
    for (const char form : {'"', '\'', '='}) {
      if (auto place = FindBrokenText(lines, tag, text, form, attr)) return place;
    }
    return std::nullopt;
  }
  const std::string forms[] = {"\"" + std::string(text) + "\"", "'" + std::string(text) + "'",
                               "=" + std::string(text)};
  const int32_t last = std::min<int32_t>(tag.EndLine, static_cast<int32_t>(lines.size()) - 1);
  std::optional<TTextPlace> first;
  for (const std::string& needle : forms) {
    for (int32_t i = std::max<int32_t>(tag.StartLine, 0); i <= last; ++i) {
      const std::string& line = lines[static_cast<size_t>(i)];
      const auto [from, to] = SpanOn(lines, tag, i);
      for (size_t pos = line.find(needle, from);
           pos != std::string::npos && pos + needle.size() <= to;
           pos = line.find(needle, pos + 1)) {
        if (attr.empty() || OpensValueOf(line, pos, attr)) return TTextPlace{i, pos + 1};
        if (!first) first = TTextPlace{i, pos + 1};
      }
    }
    if (first) return first;
  }
  return std::nullopt;
}

std::optional<std::string> ValueAsWritten(const std::vector<std::string>& lines,
                                          const THTMLTag& tag, std::string_view attr) {
  const auto count = static_cast<int32_t>(lines.size());
  if (attr.empty() || tag.StartLine < 0 || tag.EndLine >= count || tag.EndLine < tag.StartLine) {
    return std::nullopt;
  }
  if (tag.StartLine == tag.EndLine) {
    const auto [from, to] = SpanOn(lines, tag, tag.StartLine);
    if (std::string_view(lines[static_cast<size_t>(tag.StartLine)])
            .substr(from, to - from)
            .find('\t') == std::string_view::npos) {
      return std::nullopt;
    }
  }
  std::string text;
  for (int32_t i = tag.StartLine; i <= tag.EndLine; ++i) {
    const auto [from, to] = SpanOn(lines, tag, i);
    if (i > tag.StartLine) text += '\n';
    text.append(lines[static_cast<size_t>(i)], from, to - from);
  }
  // Past "<" and the tag's name.
  size_t i = text.starts_with('<') ? 1 : 0;
  while (i < text.size() && !IsBlank(text[i]) && text[i] != '>') ++i;
  std::string_view name;
  std::string_view value;
  while (NextAttribute(text, i, name, value)) {
    if (name.size() == attr.size() && StartsNoCase(name, attr)) return std::string(value);
  }
  return std::nullopt;
}

void AddEdit(TPageContext& page, int32_t line, size_t pos, size_t length, std::string text) {
  page.Edits.push_back(TLineEdit{line, pos, length, std::move(text)});
}

void ApplyEdits(TPageContext& page) {
  ApplyLineEdits(page.Lines, page.Edits);
}

void ApplyLineEdits(std::vector<std::string>& lines, std::vector<TLineEdit>& edits) {
  const auto count = static_cast<int32_t>(lines.size());
  std::stable_sort(edits.begin(), edits.end(), [](const TLineEdit& a, const TLineEdit& b) {
    return a.Line != b.Line ? a.Line < b.Line : a.Pos < b.Pos;
  });
  // Walk backwards so that earlier positions stay valid; `limit` is where
  // the edit after this one (on the same line) starts.
  int32_t line = -1;
  size_t limit = 0;
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    if (it->Line < 0 || it->Line >= count) continue;
    std::string& text = lines[static_cast<size_t>(it->Line)];
    if (it->Line != line) {
      line = it->Line;
      limit = text.size();
    }
    if (it->Pos > text.size() || it->Pos + it->Length > limit) continue;
    text.replace(it->Pos, it->Length, it->Text);
    limit = it->Pos;
  }
  edits.clear();
}

void BlankBaseTag(TPageContext& page, const THTMLTag& tag) {
  if (!Localize(page) || tag.StartLine < 0 || LineCount(page) <= tag.StartLine) return;
  const int32_t last = std::min(tag.EndLine, LineCount(page) - 1);
  for (int32_t i = tag.StartLine; i <= last; ++i) {
    const size_t size = page.Lines[static_cast<size_t>(i)].size();
    const size_t from = i == tag.StartLine ? std::min(tag.StartPos, size) : 0;
    // The ">" goes with the tag.
    const size_t to = i == tag.EndLine && tag.EndPos < size ? tag.EndPos + 1 : size;
    if (to > from) AddEdit(page, i, from, to - from, "");
  }
}

void RewriteFormAction(TPageContext& page, const THTMLTag& tag, std::string_view written,
                       std::string_view action) {
  if (!Localize(page) || IsAbsoluteLink(action)) return;
  if (tag.StartLine < 0 || LineCount(page) <= tag.StartLine) return;
  const auto place = FindLinkText(page.Lines, tag, written, "action");
  if (!place) return;
  Splice(page, *place, written, "",
         ForHtmlAttribute(ResolveUrl(action, page.PageProto, page.PageHost, page.PageDir)));
}

std::string LocalLinkText(const TPageContext& page, const std::string& targetFolder,
                          const std::string& targetFileName) {
  if (!Localize(page)) return {};
  const TJobRecord& job = page.Page.Job.Settings();
  return EncodeLocalLink(
      job.checkReplicate ? RelativeLocalPath(page.Page.LocalFolder, targetFolder, targetFileName)
                         : targetFileName);
}

std::string WebLinkText(const TPageContext& page, std::string_view written, std::string_view url) {
  if (!Localize(page) || !page.Page.Job->checkLinkToUrl) return {};
  // A link that names its scheme reaches the web from the copy as it is;
  // "//host/x" would name a file on the disk.
  if (!LinkScheme(written).empty()) return {};
  if (!IsFetchableScheme(LinkScheme(url))) return {};
  return std::string(url);
}

void RewriteQueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view written,
                       std::string_view attr, std::string_view fragment, bool scriptResolved,
                       const std::string& targetFolder, const std::string& targetFileName) {
  if (!Localize(page) || !TagWithinPage(page, tag)) return;
  std::string text(written);
  if (scriptResolved && text.empty() && !tag.Params.empty()) {
    text = tag.Params.front().Value;
    attr = tag.Params.front().Name;
  }
  const auto place = FindLinkText(page.Lines, tag, text, attr);
  if (!place) return;
  std::string target = LocalLinkText(page, targetFolder, targetFileName);
  // A script's text keeps no fragment of its own; the one it led to follows.
  if (scriptResolved) target += fragment;
  Splice(page, *place, text, scriptResolved ? "" : WrittenFragment(text), std::move(target));

  const THTMLParam* onClick = tag.FindParam("onclick");
  if (!scriptResolved || onClick == nullptr || onClick->Name.empty()) return;
  for (int32_t i = tag.StartLine; i <= tag.EndLine; ++i) {
    const std::string& line = page.Lines[static_cast<size_t>(i)];
    const auto [from, to] = SpanOn(page.Lines, tag, i);
    const size_t pos = line.find(onClick->Name, from);
    if (pos == std::string::npos || pos >= to) continue;
    AddEdit(page, i, pos, onClick->Name.size(), "alt");
    return;
  }
}

void RewriteUnqueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view written,
                         std::string_view url, std::string_view attr) {
  if (!TagWithinPage(page, tag)) return;
  const std::string web = WebLinkText(page, written, url);
  if (web.empty()) return;
  const auto place = FindLinkText(page.Lines, tag, written, attr);
  if (!place) return;
  Splice(page, *place, written, WrittenFragment(written), ForHtmlAttribute(web));
}

std::string ForHtmlAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace kestrix
