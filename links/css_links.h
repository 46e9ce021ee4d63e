// Links inside a style sheet: the images its rules name with url(...) and
// the sheets it pulls in with @import. A page is not complete without them,
// so they are queued like the other parts a page needs, and for offline
// browsing the saved sheet points at the local copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/retrive_rec.h"
#include "links/admission.h"

namespace kestrix {

class ScriptResolver;

// One reference as written in the sheet.
struct TCssRef {
  int32_t Line = 0;
  size_t Pos = 0;     // 0-based offset of the link text in the line, quotes excluded
  size_t Length = 0;  // length of the link text as written
  std::string Link;   // the link text without surrounding blanks
  char Quote = 0;     // the quote around it, 0 for a bare url(...)
  bool Import = false;
};

// Every url(...) (quoted or not) and @import "..." outside comments and
// outside other strings. data: URIs and fragment-only links ("#id", used by
// SVG filters) name no file and are left out.
std::vector<TCssRef> FindCssRefs(const std::vector<std::string>& lines);

struct TStyleRegion;
// The same within one style region of a page.
std::vector<TCssRef> FindCssRefs(const std::vector<std::string>& lines, const TStyleRegion& region);

// Inside a style attribute quotes are written as "&quot;": a reference
// found between two of them is narrowed to the link they enclose.
void UnquoteAttributeRef(TCssRef& ref);

// A bare url(...) ends at a blank, quote or parenthesis: a link that holds
// one is written quoted.
std::string ForBareUrl(const std::string& text);

class TPageAnalysis;
struct TPageRef;
// Builds and admits one reference of a sheet or style region; returns the
// text that replaces it in the saved copy, or "" to leave it.
std::string AdmitCssRef(TPageAnalysis& analysis, const TPageRef& pageRef, TAnalysisTarget& target,
                        const TCssRef& ref);

// Queues and rewrites what the page's <style> elements and style attributes
// name, like the links of a linked sheet.
void AnalyseInlineStyles(TPageAnalysis& analysis, TAnalysisTarget& target);

// Whether the saved entry is a style sheet: reached through a LINK tag or
// named "*.css", and not in fact an HTML document (a LINK tag may also name
// an alternate page, and a server may answer a missing sheet with an HTML
// error page).
bool IsStyleSheet(const TRetriveRec& entry, const std::vector<std::string>& lines);

// Queues the images (as IMG links, under the image rules) and imported sheets
// (as LINK links) of the style sheet held by the entry at `sheetIndex`, and
// edits `lines` for offline browsing. Returns the error that ended the
// analysis early (an invalid filter pattern), or nullopt. The entries the
// saved sheet now links to are put in `linked` when given.
std::optional<std::string> ParseStyleSheet(std::vector<std::string>& lines,
                                           const TRetriveRec& sheet, int32_t sheetIndex,
                                           TAnalysisTarget& target, ScriptResolver& resolver,
                                           std::vector<int32_t>* linked = nullptr);

}  // namespace kestrix
