#include "links/link_rewriting.h"

#include "core/retrive_rec.h"
#include "links/html_items.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "links/text_fold.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

bool Localize(const TPageContext& page) {
  return page.Page.Job->checkLocalize;
}

int32_t LineCount(const TPageContext& page) {
  return static_cast<int32_t>(page.Lines.size());
}

// Replaces the link text at `place` (all of `text` but a trailing
// `fragment`) by `replacement`.
void Splice(TPageContext& page, const TTextPlace& place, std::string_view text,
            std::string_view fragment, std::string_view replacement) {
  const bool keepsFragment = !fragment.empty() && text.ends_with(fragment);
  const size_t removed = keepsFragment ? text.size() - fragment.size() : text.size();
  std::string& line = page.Lines[static_cast<size_t>(place.Line)];
  line.replace(place.Pos, removed, replacement);
}

bool TagWithinPage(const TPageContext& page, const THTMLTag& tag) {
  return tag.StartLine >= 0 && LineCount(page) > tag.StartLine && LineCount(page) > tag.EndLine;
}

}  // namespace

std::optional<TTextPlace> FindLinkText(const std::vector<std::string>& lines, const THTMLTag& tag,
                                       std::string_view text) {
  const std::string forms[] = {"\"" + std::string(text) + "\"", "'" + std::string(text) + "'",
                               "=" + std::string(text)};
  const int32_t last = std::min<int32_t>(tag.EndLine, static_cast<int32_t>(lines.size()) - 1);
  for (const std::string& needle : forms) {
    for (int32_t i = std::max<int32_t>(tag.StartLine, 0); i <= last; ++i) {
      const size_t pos = lines[static_cast<size_t>(i)].find(needle);
      if (pos != std::string::npos) return TTextPlace{i, pos + 1};
    }
  }
  return std::nullopt;
}

void BlankBaseTag(TPageContext& page, const THTMLTag& tag) {
  if (!Localize(page) || tag.StartLine < 0 || LineCount(page) <= tag.StartLine) return;
  page.Lines[static_cast<size_t>(tag.StartLine)].clear();
}

void RewriteFormAction(TPageContext& page, const THTMLTag& tag, std::string_view action) {
  if (!Localize(page) || ContainsNoCase(action, "http://")) return;
  if (tag.StartLine < 0 || LineCount(page) <= tag.StartLine) return;
  const auto place = FindLinkText(page.Lines, tag, action);
  if (!place) return;
  Splice(page, *place, action, "", ResolveUrl(action, page.PageProto, page.PageHost, page.PageDir));
}

void RewriteQueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view link,
                       std::string_view fragment, bool scriptResolved,
                       const std::string& targetFolder, const std::string& targetFileName) {
  if (!Localize(page) || !TagWithinPage(page, tag)) return;
  std::string text;
  if (scriptResolved && !tag.Params.empty()) {
    text = tag.Params.front().Value;
  } else {
    text = std::string(link) + std::string(fragment);
  }
  const auto place = FindLinkText(page.Lines, tag, text);
  if (!place) return;
  const TJobRecord& job = page.Page.Job.Settings();
  const std::string target =
      job.checkReplicate
          ? RelativeLocalPath(page.Page.LocalFolder, job.ProjectName, targetFolder, targetFileName)
          : targetFileName;
  Splice(page, *place, text, fragment, target);

  const THTMLParam* onClick = tag.FindParam("onclick");
  if (!scriptResolved || onClick == nullptr || onClick->Name.empty()) return;
  for (int32_t i = tag.StartLine; i <= tag.EndLine; ++i) {
    std::string& line = page.Lines[static_cast<size_t>(i)];
    const size_t pos = line.find(onClick->Name);
    if (pos == std::string::npos) continue;
    line.replace(pos, onClick->Name.size(), "alt");
    return;
  }
}

void RewriteUnqueuedLink(TPageContext& page, const THTMLTag& tag, std::string_view link,
                         std::string_view fragment) {
  if (!Localize(page) || !page.Page.Job->checkLinkToUrl || !TagWithinPage(page, tag)) return;
  if (!IsSupportedProtocol(link) || StartsNoCase(link, "http://") || StartsNoCase(link, "ftp://")) {
    return;
  }
  const std::string text = std::string(link) + std::string(fragment);
  const auto place = FindLinkText(page.Lines, tag, text);
  if (!place) return;
  Splice(page, *place, text, fragment,
         ResolveUrl(link, page.PageProto, page.PageHost, page.PageDir));
}

}  // namespace kestrix
