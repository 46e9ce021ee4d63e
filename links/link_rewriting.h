// Editing a saved page so that it can be browsed from disk. The parser says
// where each tag starts and ends; the link text is searched for only there,
// in the attribute that carries it, so that every link of a one-line page is
// edited where it stands and the rest of the page stays byte for byte.
// Every edit here is made only when the page's job has "Offline Browse:" set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "links/page_context.h"

namespace kestrix {

class THTMLTag;

struct TTextPlace {
  int32_t Line = 0;
  size_t Pos = 0;  // 0-based offset of the link text in the line
};

// Where `text` is written within the tag: quoted with double quotes, else
// with single quotes, else right after "=". An occurrence that is the value
// of the attribute `attr` wins; otherwise the first one in the tag. A "\n"
// in `text` is a line break: the text then runs on into the next lines.
std::optional<TTextPlace> FindLinkText(const std::vector<std::string>& lines, const THTMLTag& tag,
                                       std::string_view text, std::string_view attr = {});

// The value of the attribute `attr` as the page writes it, when the tag
// runs over several lines or holds a tab: the parser joined its lines with
// blanks and dropped its tabs, and a browser drops both from a link. Line
// breaks come as "\n"; nothing when the tag is on one line without a tab
// or has no such attribute.
std::optional<std::string> ValueAsWritten(const std::vector<std::string>& lines,
                                          const THTMLTag& tag, std::string_view attr);

// Records an edit of the page; ApplyEdits makes them.
void AddEdit(TPageContext& page, int32_t line, size_t pos, size_t length, std::string text);

// Makes the recorded edits, from the last to the first, and forgets them.
// An edit that overlaps one before it is dropped.
void ApplyEdits(TPageContext& page);
void ApplyLineEdits(std::vector<std::string>& lines, std::vector<TLineEdit>& edits);

// The BASE tag's own characters disappear from the saved copy.
void BlankBaseTag(TPageContext& page, const THTMLTag& tag);

// A relative form action becomes absolute, so the form still reaches the site.
void RewriteFormAction(TPageContext& page, const THTMLTag& tag, std::string_view written,
                       std::string_view action);

// How a page links to a queued file in `targetFolder`: the path from the
// page's folder, percent-encoded for a browser; empty without offline browsing.
std::string LocalLinkText(const TPageContext& page, const std::string& targetFolder,
                          const std::string& targetFileName);

// How a page names a link that leads to no saved file, with
// "Replace unretrieved  links to a URL": its absolute URL `url`, unless the
// link as `written` names its scheme; empty when the link stays as written.
std::string WebLinkText(const TPageContext& page, std::string_view written, std::string_view url);

// A link to a queued document points to its local file; the fragment as
// written stays. For a link made by a script, the link text (or, without
// one, the script text) is replaced and the onClick handler made inert.
void RewriteQueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view written,
                       std::string_view attr, std::string_view fragment, bool scriptResolved,
                       const std::string& targetFolder, const std::string& targetFileName);

// With "Replace unretrieved  links to a URL", a link without a scheme that
// leads to no saved file names the document on the web, `url`, instead;
// the fragment as written stays.
void RewriteUnqueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view written,
                         std::string_view url, std::string_view attr);

// Text for an HTML attribute value: "&" and double quotes escaped.
std::string ForHtmlAttribute(std::string_view text);

}  // namespace kestrix
