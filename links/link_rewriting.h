// Editing a saved page so that it can be browsed from disk. The edits are
// textual: the parser says which lines a tag spans, and the link text is
// searched for in those lines, so the rest of the page stays byte for byte.
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

// Where `text` is written within the tag's lines: quoted with double quotes,
// else with single quotes, else right after "=". The first line that holds it
// wins.
std::optional<TTextPlace> FindLinkText(const std::vector<std::string>& lines, const THTMLTag& tag,
                                       std::string_view text);

// The BASE tag disappears from the saved copy.
void BlankBaseTag(TPageContext& page, const THTMLTag& tag);

// A relative form action becomes absolute, so the form still reaches the site.
void RewriteFormAction(TPageContext& page, const THTMLTag& tag, std::string_view action);

// A link to a queued document points to its local file; the fragment stays.
// For a link made by a script, the script text is replaced and the onClick
// handler made inert.
void RewriteQueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view link,
                       std::string_view fragment, bool scriptResolved,
                       const std::string& targetFolder, const std::string& targetFileName);

// With "Replace unretrieved  links to a URL", a relative link that was not
// queued names the document on the web instead.
void RewriteUnqueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view link,
                         std::string_view fragment);

}  // namespace kestrix
