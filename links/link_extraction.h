// From a saved HTML page to queue entries: every link-bearing tag becomes a
// candidate entry with an absolute URL, inherited settings and a depth
// budget; the admission rules decide whether it is queued, and the page's
// lines are edited for offline browsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/retrive_rec.h"
#include "links/admission.h"
#include "links/page_context.h"

namespace kestrix {

class THTMLParser;
class THTMLTag;
class ScriptResolver;

// False for mailto:, news:, gopher:, wais:, file:, javascript: and ed2k:
// links, wherever in the URL they appear; true otherwise, also for "".
bool IsSupportedProtocol(std::string_view url);

// The tag's link value: its first parameter's value, or the second's when the
// first is an onclick handler.
std::string LinkValue(const THTMLTag& tag);

// Whether any parameter's value holds "javascript:".
bool HasScriptParam(const THTMLTag& tag);

// A link found on the page, before admission.
struct TLinkCandidate {
  TRetriveRec Rec;
  std::string Link;      // the link as written (or as its script gave it), without fragment
  std::string Fragment;  // "#" and what follows, or empty
  bool ScriptResolved = false;
};

// The downloader drops absolute anchors on other servers and stops counting
// a new server's depth once exploration has left the start; the exploration
// test lists those links with their verdicts instead.
enum class TExtractionRules { Download, Exploration };

// The analysis of one page: its context (which a BASE tag can change) and
// what it needs to build, admit and rewrite links.
class TPageAnalysis {
 public:
  TPageAnalysis(std::vector<std::string>& lines, const TRetriveRec& page, int32_t pageIndex,
                TAnalysisTarget& target, ScriptResolver& resolver,
                TExtractionRules rules = TExtractionRules::Download);

  // Builds the candidate of `tag` (resolving scripts, applying BASE, META,
  // fragments and the crossing to other servers). False when the tag gives
  // no candidate; BASE and FORM make their page edits here. Under the
  // exploration rules an unsupported link still gives one, taken as written,
  // so that its verdict can be shown.
  bool BuildCandidate(const THTMLTag& tag, TLinkCandidate& out);

  // Builds, admits and rewrites one tag. Throws TMaskError for an invalid
  // filter pattern, which ends the page.
  void ProcessTag(const THTMLTag& tag);

  const TPageContext& Context() const { return context_; }

 private:
  bool ResolveScript(const THTMLTag& tag, TLinkCandidate& out);
  void ApplyBase(const THTMLTag& tag, const std::string& link);
  bool MakeAbsolute(TLinkCandidate& out);

  TPageContext context_;
  TAnalysisTarget& target_;
  ScriptResolver& resolver_;
  TExtractionRules rules_;
};

// Analyses one saved page of the queue entry at `pageIndex`: queues what the
// job admits and edits `lines` for offline browsing. `parser` is the shared
// parser, cleared first. Returns the error that ended the analysis early (an
// invalid filter pattern), once per page, or nullopt. When the job loads style
// sheets and the entry is one, its url() and @import links are analysed
// instead of tags.
std::optional<std::string> ParsePage(std::vector<std::string>& lines, const TRetriveRec& page,
                                     int32_t pageIndex, TAnalysisTarget& target,
                                     ScriptResolver& resolver, THTMLParser& parser);

}  // namespace kestrix
