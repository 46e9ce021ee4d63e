// Saved pages edited once more when a run ends. A page is written as soon
// as it is analysed, linking every queued file by its local name; a file
// that then fails to come (404, refused, cut off) leaves a local link to
// nothing, and a file renamed when its reply said what it is leaves a link
// to its old name. Both are mended here, in the pages and style sheets
// that link to them, and nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrix {

// What a link to one saved file becomes: the file's URL on the web when it
// did not come, or its new local path (folder and file name) when it came
// under another name. Url wins when both are set.
struct TRelink {
  std::string Url;
  std::string LocalPath;
};

// Keyed by the local path the file was given when it was queued (its
// LocalFolder + LocalFileName): the saved pages link to it by that name.
using TRelinks = std::unordered_map<std::string, TRelink>;

// Edits the saved page whose own local path is `pageLocalPath` (a style
// sheet when `styleSheet`): each local link, in a link attribute, a srcset,
// a refresh, a style element or attribute, or a sheet's url() and @import,
// that leads to a key of `relinks` is written as what the key maps to; its
// fragment stays and every other byte of the page too. Returns how many
// links were changed.
int32_t RelinkPage(std::vector<std::string>& lines, std::string_view pageLocalPath, bool styleSheet,
                   const TRelinks& relinks);

// The local paths the saved page links to, each once, in reading order:
// what a page links to, read again from its saved copy (when a run goes on
// from an earlier one).
std::vector<std::string> LocalLinksOf(const std::vector<std::string>& lines,
                                      std::string_view pageLocalPath, bool styleSheet);

}  // namespace kestrix
