#include "links/css_links.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "core/ascii.h"
#include "links/html_items.h"
#include "links/link_extraction.h"
#include "links/link_rewriting.h"
#include "links/local_naming.h"
#include "links/style_blocks.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// Reads through the sheet and collects its references. A comment may span
// lines; strings and url(...) end on the line they start on, as CSS wants.
class TCssScanner {
 public:
  explicit TCssScanner(const std::vector<std::string>& lines) : lines_(lines) {}

  std::vector<TCssRef> Scan() {
    for (size_t n = 0; n < lines_.size(); ++n) ScanLine(static_cast<int32_t>(n), lines_[n], 0);
    return std::move(refs_);
  }

  // Only the text of `region`; positions stay those of the whole lines.
  std::vector<TCssRef> Scan(const TStyleRegion& region) {
    const int32_t last = std::min(region.EndLine, static_cast<int32_t>(lines_.size()) - 1);
    for (int32_t n = std::max(region.StartLine, 0); n <= last; ++n) {
      std::string_view line = lines_[static_cast<size_t>(n)];
      if (n == region.EndLine) line = line.substr(0, std::min(region.EndPos, line.size()));
      const size_t from = n == region.StartLine ? region.StartPos : 0;
      if (from < line.size()) ScanLine(n, line, from);
    }
    return std::move(refs_);
  }

 private:
  void ScanLine(int32_t n, std::string_view line, size_t p) {
    while (p < line.size()) {
      if (inComment_) {
        const size_t end = line.find("*/", p);
        if (end == std::string_view::npos) return;
        inComment_ = false;
        p = end + 2;
        continue;
      }
      const char c = line[p];
      if (c == '/' && p + 1 < line.size() && line[p + 1] == '*') {
        inComment_ = true;
        p += 2;
      } else if (c == '"' || c == '\'') {
        p = ReadString(n, line, p, pendingImport_);
        pendingImport_ = false;
      } else if (c == '@' && StartsNoCase(line.substr(p), "@import")) {
        pendingImport_ = true;
        p += 7;
      } else if ((c == 'u' || c == 'U') && StartsNoCase(line.substr(p), "url(") &&
                 (p == 0 || !IsNameChar(line[p - 1]))) {
        p = ReadUrl(n, line, p + 4);
        pendingImport_ = false;
      } else {
        if (!IsHtmlSpace(c)) pendingImport_ = false;
        ++p;
      }
    }
  }

  // `p` is at the opening quote; returns the position after the closing one.
  size_t ReadString(int32_t n, std::string_view line, size_t p, bool record) {
    const char quote = line[p];
    size_t q = p + 1;
    while (q < line.size() && line[q] != quote) q += line[q] == '\\' ? 2 : 1;
    if (q >= line.size()) return line.size();
    if (record) Add(n, line, p + 1, q, quote);
    return q + 1;
  }

  // `p` is just after "url("; returns the position after the ")".
  size_t ReadUrl(int32_t n, std::string_view line, size_t p) {
    while (p < line.size() && IsHtmlSpace(line[p])) ++p;
    if (p < line.size() && (line[p] == '"' || line[p] == '\'')) {
      const size_t before = refs_.size();
      const size_t after = ReadString(n, line, p, true);
      const size_t close = line.find(')', after);
      if (close == std::string_view::npos) {
        refs_.resize(before);
        return line.size();
      }
      return close + 1;
    }
    const size_t close = line.find(')', p);
    if (close == std::string_view::npos) return line.size();
    Add(n, line, p, close, 0);
    return close + 1;
  }

  void Add(int32_t n, std::string_view line, size_t from, size_t to, char quote) {
    while (from < to && IsHtmlSpace(line[from])) ++from;
    while (to > from && IsHtmlSpace(line[to - 1])) --to;
    const std::string_view link = line.substr(from, to - from);
    if (link.empty() || link.front() == '#' || StartsNoCase(link, "data:")) return;
    refs_.push_back(TCssRef{n, from, to - from, std::string(link), quote, pendingImport_});
  }

  const std::vector<std::string>& lines_;
  std::vector<TCssRef> refs_;
  bool inComment_ = false;
  bool pendingImport_ = false;
};

bool HasCssPath(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  return url.size() >= 4 && AsciiLower(url.substr(url.size() - 4)) == ".css";
}

struct TCssEdit {
  const TCssRef* Ref;
  std::string Text;
};

// The text that replaces `ref` in the saved sheet, or "" to leave it.
std::string Replacement(const TPageContext& sheet, const TLinkCandidate& candidate) {
  const TRetriveRec& rec = candidate.Rec;
  if (!rec.LocalFileName.empty()) {
    const std::string local = LocalLinkText(sheet, rec.LocalFolder, rec.LocalFileName);
    return local.empty() ? local : local + candidate.Fragment;
  }
  const std::string web = WebLinkText(sheet, candidate.Written, candidate.Url.Text);
  return web.empty() ? web : web + candidate.Fragment;
}

}  // namespace

std::string AdmitCssRef(TPageAnalysis& analysis, const TPageRef& pageRef, TAnalysisTarget& target,
                        const TCssRef& ref) {
  // Unsupported links are dropped before they could reach the resolver.
  if (!IsSupportedProtocol(ref.Link)) return {};
  THTMLTag tag;
  tag.Kind = ref.Import ? kKindLink : kKindImg;
  tag.StartLine = tag.EndLine = ref.Line;
  THTMLParam param;
  param.Name = ref.Import ? "href" : "src";
  param.Value = ref.Link;
  tag.Params.push_back(std::move(param));
  TLinkCandidate candidate;
  if (!analysis.BuildCandidate(tag, candidate)) return {};
  if (analysis.OnExplore) {
    analysis.Admit(tag, candidate);
  } else {
    candidate.QueueIndex = AdmitCandidate(candidate.Rec, candidate.Url, pageRef, target);
  }
  std::string text = Replacement(analysis.Context(), candidate);
  if (text.empty()) return text;
  if (!candidate.Rec.LocalFileName.empty()) analysis.NoteLinked(candidate);
  return ref.Quote == 0 ? ForBareUrl(text) : text;
}

void AnalyseInlineStyles(TPageAnalysis& analysis, TAnalysisTarget& target) {
  const TPageContext& page = analysis.Context();
  const TPageRef pageRef{page.Page, page.PageIndex, page.StartDirLower, page.StartFolder};
  for (const TStyleRegion& region : FindStyleRegions(page.Lines)) {
    for (TCssRef ref : FindCssRefs(page.Lines, region)) {
      if (region.Attribute) UnquoteAttributeRef(ref);
      std::string text = AdmitCssRef(analysis, pageRef, target, ref);
      // Inside an attribute the value's own quotes must survive.
      if (region.Attribute) text = ForHtmlAttribute(text);
      if (!text.empty()) analysis.AddEdit(ref.Line, ref.Pos, ref.Length, std::move(text));
    }
  }
}

std::string ForBareUrl(const std::string& text) {
  if (text.find_first_of(" \t()'\"\\") == std::string::npos) return text;
  return text.find('"') == std::string::npos ? "\"" + text + "\"" : "'" + text + "'";
}

void UnquoteAttributeRef(TCssRef& ref) {
  constexpr std::string_view kQuot = "&quot;";
  if (ref.Link.size() > 2 * kQuot.size() && ref.Link.starts_with(kQuot) &&
      ref.Link.ends_with(kQuot)) {
    ref.Link = ref.Link.substr(kQuot.size(), ref.Link.size() - 2 * kQuot.size());
    ref.Pos += kQuot.size();
    ref.Length = ref.Link.size();
    ref.Quote = '"';
  }
}

std::vector<TCssRef> FindCssRefs(const std::vector<std::string>& lines) {
  return TCssScanner(lines).Scan();
}

std::vector<TCssRef> FindCssRefs(const std::vector<std::string>& lines,
                                 const TStyleRegion& region) {
  return TCssScanner(lines).Scan(region);
}

bool IsStyleSheet(const TRetriveRec& entry, const std::vector<std::string>& lines) {
  if (entry.LinkKind != kKindLink && !HasCssPath(entry.Job.editUrl)) return false;
  for (const std::string& raw : lines) {
    std::string_view line = raw;
    if (&raw == &lines.front() && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    for (char c : line) {
      if (!IsHtmlSpace(c)) return c != '<';
    }
  }
  return true;
}

std::optional<std::string> ParseStyleSheet(std::vector<std::string>& lines,
                                           const TRetriveRec& sheet, int32_t sheetIndex,
                                           TAnalysisTarget& target, ScriptResolver& resolver,
                                           std::vector<int32_t>* linked) {
  const std::vector<TCssRef> refs = FindCssRefs(lines);
  if (refs.empty()) return std::nullopt;
  // The sheet's references go through the same building and admission as a
  // page's IMG and LINK tags, so the image rules and the crossing to other
  // servers apply unchanged.
  TPageAnalysis analysis(lines, sheet, sheetIndex, target, resolver);
  if (linked != nullptr) analysis.KeepLinkedEntries();
  const TPageRef pageRef{sheet, sheetIndex, analysis.Context().StartDirLower,
                         analysis.Context().StartFolder};
  std::vector<TCssEdit> edits;
  std::optional<std::string> error;
  try {
    for (const TCssRef& ref : refs) {
      std::string text = AdmitCssRef(analysis, pageRef, target, ref);
      if (!text.empty()) edits.push_back(TCssEdit{&ref, std::move(text)});
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  // Refs come in reading order; editing from the last keeps earlier offsets valid.
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    std::string& line = lines[static_cast<size_t>(it->Ref->Line)];
    line.replace(it->Ref->Pos, it->Ref->Length, it->Text);
  }
  if (linked != nullptr) *linked = analysis.LinkedEntries();
  return error;
}

}  // namespace kestrix
