// From a saved HTML page to queue entries: every link-bearing tag becomes a
// candidate entry with an absolute URL, inherited settings and a depth
// budget; the admission rules decide whether it is queued, and the page's
// lines are edited for offline browsing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/retrive_rec.h"
#include "links/admission.h"
#include "links/link_attributes.h"
#include "links/page_context.h"
#include "links/url_paths.h"

namespace kestrix {

class THTMLParser;
class THTMLTag;
class ScriptResolver;

// Whether the program can fetch the link: true for a link without a scheme
// (relative, "//host/..." or ""), and for http:, https: and ftp: links; false
// for every other scheme (mailto:, javascript:, data:, tel: ...). Only the
// scheme counts, so "p?next=mailto:x" is an ordinary link.
bool IsSupportedProtocol(std::string_view url);

// Whether any parameter's value holds "javascript:".
bool HasScriptParam(const THTMLTag& tag);

// A link found on the page, before admission.
struct TLinkCandidate {
  TRetriveRec Rec;
  std::string Written;   // the attribute value as written in the page, fragment included
  std::string Link;      // the URL it stands for (or its script gave), without fragment
  std::string Fragment;  // "#" and what follows, or empty
  TParsedUrl Url;        // Rec.Job.editUrl taken apart, once it is absolute
  // The queue entry admission queued or found for it, -1 when not known.
  int32_t QueueIndex = -1;
  bool ScriptResolved = false;
  // Read only so that its link can be rewritten: a LINK whose rel names
  // nothing to fetch, or any LINK when the job loads no style sheets.
  bool RewriteOnly = false;
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

  // Admits a built candidate, or, when OnExplore is set, hands it there
  // instead and queues nothing.
  void Admit(const THTMLTag& tag, TLinkCandidate& candidate);
  // Set by the exploration test to see every candidate the downloader would
  // admit or drop, srcset and style links included.
  std::function<void(const THTMLTag& tag, TLinkCandidate& candidate)> OnExplore;

  // Builds, admits and rewrites one tag. Throws TMaskError for an invalid
  // filter pattern, which ends the page.
  void ProcessTag(const THTMLTag& tag);

  // Records an edit of the page; Finish makes the edits.
  void AddEdit(int32_t line, size_t pos, size_t length, std::string text);
  // Applies the page edits gathered so far to its lines.
  void Finish();

  const TPageContext& Context() const { return context_; }
  // What links of the page are resolved against; a BASE tag moves it.
  TLinkBase Base() const;

  // The queue entries whose local names were written into the page, in the
  // order they were written, each once: what the page must be edited for
  // when one of them fails or is renamed. Kept only once asked for, as it
  // costs a queue lookup per link.
  void KeepLinkedEntries() { keepLinked_ = true; }
  const std::vector<int32_t>& LinkedEntries() const { return linked_; }

  // Notes that the candidate's local name was written into the page.
  void NoteLinked(const TLinkCandidate& candidate);

  // Takes one file named in the page's scripts from the page's allowance;
  // false once it is used up.
  bool TakeScriptFile();

  // Candidates whose scripts were not run because the page reached its
  // bound on script runs or script time.
  int32_t SkippedScripts() const { return skippedScripts_; }

 private:
  bool ResolveScript(const THTMLTag& tag, TLinkCandidate& out);
  bool RunLinkScript(const std::string& script);
  void ApplyBase(const THTMLTag& tag, const std::string& link);
  bool CompleteCandidate(const THTMLTag& tag, TLinkCandidate& out);
  bool MakeAbsolute(TLinkCandidate& out);
  static void DropDefaultPort(TLinkCandidate& out);
  void AdmitAndRewrite(const THTMLTag& tag, TLinkCandidate& candidate, std::string_view attr);
  void ProcessSrcset(const THTMLTag& tag);
  void ProcessPoster(const THTMLTag& tag);
  int32_t LinesCount() const { return static_cast<int32_t>(context_.Lines.size()); }

  TPageContext context_;
  TAnalysisTarget& target_;
  ScriptResolver& resolver_;
  TExtractionRules rules_;
  int32_t scriptRuns_ = 0;
  double scriptSeconds_ = 0;
  int32_t skippedScripts_ = 0;
  int32_t scriptFiles_ = 0;
  bool keepLinked_ = false;
  std::vector<int32_t> linked_;
  std::unordered_set<int32_t> linkedSet_;
};

// A page runs at most this many link scripts, for at most this long in all;
// past that its remaining script links are left as written.
inline constexpr int32_t kMaxScriptRunsPerPage = 200;
inline constexpr double kMaxScriptSecondsPerPage = 60;

// Analyses one saved page of the queue entry at `pageIndex`: queues what the
// job admits and edits `lines` for offline browsing. `parser` is the shared
// parser, cleared first. Returns the error that ended the analysis early (an
// invalid filter pattern), once per page, or nullopt. When the job loads style
// sheets and the entry is one, its url() and @import links are analysed
// instead of tags. Notes for the log (script links left unresolved) are
// appended to `notes` when given; the queue indices of the entries the
// saved page now links to (TPageAnalysis::LinkedEntries) to `linked`.
std::optional<std::string> ParsePage(std::vector<std::string>& lines, const TRetriveRec& page,
                                     int32_t pageIndex, TAnalysisTarget& target,
                                     ScriptResolver& resolver, THTMLParser& parser,
                                     std::vector<std::string>* notes = nullptr,
                                     std::vector<int32_t>* linked = nullptr);

}  // namespace kestrix
