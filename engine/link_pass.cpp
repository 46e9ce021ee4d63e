#include "engine/link_pass.h"

#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/url_list.h"
#include "engine/link_book.h"
#include "engine/page_lines.h"
#include "http/socket_errors.h"
#include "links/css_links.h"
#include "links/relink.h"

namespace kestrix {
namespace {

std::string LocalPath(const TRetriveRec& entry) {
  return entry.LocalFileName.empty() ? std::string() : entry.LocalFolder + entry.LocalFileName;
}

// Whether the saved copy of `entry` is a page or sheet whose links were
// written for offline browsing.
bool IsRewrittenPage(const TRetriveRec& entry) {
  return entry.IsHtml != 0 && entry.Job->checkLocalize && !entry.LocalFileName.empty();
}

bool IsSheet(const TRetriveRec& entry, const std::vector<std::string>& lines) {
  return entry.Job->checkLoadStyle && IsStyleSheet(entry, lines);
}

// What the pages may link to, by the local path their links name.
struct TTargets {
  TRelinks Renames;  // old path -> new path
  TRelinks All;      // the renames, and failed files -> their URL
  std::unordered_set<int32_t> Indices;
};

TTargets CollectTargets(const UrlList& queue, const TLinkBook& book) {
  TTargets targets;
  for (const auto& [index, oldPath] : book.Renamed()) {
    if (index >= queue.Count() || book.Failed().contains(index)) continue;
    TRelink to;
    to.LocalPath = LocalPath(queue.Entry(index));
    if (to.LocalPath.empty() || to.LocalPath == oldPath) continue;
    targets.Renames.emplace(oldPath, to);
    targets.All.emplace(oldPath, std::move(to));
    targets.Indices.insert(index);
  }
  for (const int32_t index : book.Failed()) {
    if (index >= queue.Count()) continue;
    const auto renamed = book.Renamed().find(index);
    std::string path =
        renamed != book.Renamed().end() ? renamed->second : LocalPath(queue.Entry(index));
    if (path.empty()) continue;
    targets.All.emplace(std::move(path), TRelink{std::string(queue.Url(index)), {}});
    targets.Indices.insert(index);
  }
  return targets;
}

// Reads the local links of every rewritten page the book does not know
// yet, once: pages an earlier run saved.
void LearnSavedPages(const UrlList& queue, TLinkBook& book) {
  std::unordered_map<std::string, int32_t> byPath;
  bool unknown = false;
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& entry = queue.Entry(i);
    if (!entry.LocalFileName.empty()) byPath.try_emplace(LocalPath(entry), i);
    unknown = unknown || (IsRewrittenPage(entry) && !book.Knows(i));
  }
  if (!unknown) return;
  for (const auto& [index, oldPath] : book.Renamed()) {
    if (index < queue.Count()) byPath.try_emplace(oldPath, index);
  }
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& entry = queue.Entry(i);
    if (!IsRewrittenPage(entry) || book.Knows(i)) continue;
    TPageLines page;
    std::vector<int32_t> linked;
    const std::string path = LocalPath(entry);
    if (LoadPageLines(path, page)) {
      for (const std::string& target : LocalLinksOf(page.Lines, path, IsSheet(entry, page.Lines))) {
        const auto found = byPath.find(target);
        if (found != byPath.end()) linked.push_back(found->second);
      }
    }
    book.SetPageLinks(i, std::move(linked));
  }
}

bool LinksToAny(const std::vector<int32_t>& linked, const std::unordered_set<int32_t>& targets) {
  for (const int32_t target : linked) {
    if (targets.contains(target)) return true;
  }
  return false;
}

}  // namespace

TLinkMending MendSavedLinks(const UrlList& queue, TLinkBook& book) {
  TLinkMending mending;
  mending.ScriptFilesMissing = book.TakeFailedScriptFiles();
  const TTargets targets = CollectTargets(queue, book);
  if (targets.Indices.empty()) {
    book.ClearRenamed();
    return mending;
  }
  LearnSavedPages(queue, book);
  std::vector<int32_t> pages;
  for (const auto& [page, linked] : book.Pages()) {
    if (page < queue.Count() && LinksToAny(linked, targets.Indices)) pages.push_back(page);
  }
  for (const int32_t index : pages) {
    const TRetriveRec& entry = queue.Entry(index);
    const TRelinks& relinks = entry.Job->checkLinkToUrl ? targets.All : targets.Renames;
    const std::string path = LocalPath(entry);
    TPageLines page;
    if (relinks.empty() || path.empty() || !LoadPageLines(path, page)) continue;
    const int32_t changed = RelinkPage(page.Lines, path, IsSheet(entry, page.Lines), relinks);
    if (changed > 0 && !ReplacePageLines(path, page)) {
      ++mending.NotWritten;  // tried again when the next run ends
      continue;
    }
    if (changed > 0) ++mending.Pages;
    mending.Links += changed;
    // Its links to failed files are URLs now, or stay as they are for good.
    book.DropLinks(index, book.Failed());
  }
  book.ClearRenamed();
  return mending;
}

void NoteEarlierFailures(const UrlList& queue, TLinkBook& book) {
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& entry = queue.Entry(i);
    // A cut entry is fetched again; a status is known only from the
    // histories that keep it.
    const bool cut = entry.ErrorCode == WSAECONNABORTED || entry.ErrorCode == WSAECONNRESET;
    const bool failed = entry.ErrorCode != 0 || (entry.StatusCode >= 0 && FetchFailed(entry));
    if (cut || !failed) continue;
    const std::string path = LocalPath(entry);
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) book.NoteOutcome(i, false, false);
  }
}

}  // namespace kestrix
