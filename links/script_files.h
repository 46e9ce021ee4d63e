// Files a page's scripts name in their strings: a search page that calls
// loadIndex("searchindex.js"), a gallery that lists its pictures. A copy
// without them works until the script asks for one. Only strings that
// plainly name a file of a page-part kind, on the page's own server, are
// taken; the rest of a script's text is not a link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

class THTMLTag;
class TPageAnalysis;
class ScriptResolver;
struct TAnalysisTarget;
struct TRetriveRec;

// Bounds on what scripts may add to a download: at most this many files
// from one script, and from all the scripts of one page (or one saved
// script file) together. A search index or a few dozen pictures fit; a
// script full of names that are not files cannot flood the queue.
inline constexpr std::size_t kMaxFilesPerScript = 16;
inline constexpr int32_t kMaxScriptFilesPerPage = 64;
// Longer strings are data, not file names.
inline constexpr std::size_t kMaxScriptFileName = 256;

// The strings of a script text that name a file with a page-part extension
// (js, json, css, png, jpg, jpeg, gif, svg, webp, woff, woff2, ttf) by a
// relative path, a path on the server, or an http(s) URL: at most `limit`,
// each once, in reading order. Comments are skipped; strings holding
// blanks, "<", quotes, template or concatenation syntax, or another scheme,
// and strings joined to others with "+", are not file names.
std::vector<std::string> FindScriptNamedFiles(std::string_view script, std::size_t limit);

// The body of the inline script opened by `tag`, its lines joined by "\n";
// empty when the script has a src or a type that is not a program (JSON
// data, templates).
std::string InlineScriptBody(const std::vector<std::string>& lines, const THTMLTag& tag);

// With "Load scripts" set, queues the files named by `script` as parts of
// the page being analysed (scripts and data as SCRIPT links, style sheets
// as LINK links, images and fonts as IMG links, each under its own rules),
// or shows them to the exploration test. Names on another server are left
// out. Links in the script are not rewritten: it builds them itself.
void AdmitScriptFiles(TPageAnalysis& analysis, std::string_view script);

// The same for the inline script opened by `tag`.
void AdmitInlineScriptFiles(TPageAnalysis& analysis, const THTMLTag& tag);

// The same for a saved script file. A script's strings name files relative
// to the page that runs it, not to the script: `page` is that page's entry.
// Returns the error that ended the analysis (an invalid filter pattern).
std::optional<std::string> AnalyseScriptFile(std::string_view script, const TRetriveRec& page,
                                             int32_t pageIndex, TAnalysisTarget& target,
                                             ScriptResolver& resolver);

}  // namespace kestrix
