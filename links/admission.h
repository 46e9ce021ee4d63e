// Whether a link found on a page enters the queue: the downloader's queueing
// rules, which drop links silently, and the verdict with a reason that the
// exploration test shows for each link.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/parsed_url.h"
#include "core/retrive_rec.h"
#include "core/url_list.h"
#include "links/crawl_traps.h"

namespace kestrix {

class THTMLTag;

// Where admitted links go and what naming needs: one queue with its used
// names, the download folder (ending in "/") and the default document name,
// and the crawl-trap guards that keep endless URLs out of the queue.
struct TAnalysisTarget {
  TEngineState& State;
  std::string DownLoadFolder;
  std::string DefaultDoc;
  TTrapLimits Traps;
  // Whether the site's robots.txt rules, where known, keep a URL from the
  // queue; unset: nothing is kept out for them.
  std::function<bool(const std::string& url)> RobotsRefuse = nullptr;
};

// The page whose links are being admitted.
struct TPageRef {
  const TRetriveRec& Page;         // its entry; its RemoteFlag picks the local rules
  int32_t PageIndex = -1;          // its queue index, the parent of what it queues
  std::string_view StartDirLower;  // directory of its StartUrl, lower-cased: the "this path" limit
  const TParsedUrl& StartFolder;   // the same directory taken apart
};

// Whether `url` lies below the start directory: its text holds the
// directory's, or it names the same folder on the same server by another
// scheme or the default port.
bool InsideStartDir(const TParsedUrl& url, std::string_view startDirLower,
                    const TParsedUrl& startFolder);

// Why LinkVerdict would not follow a link; each reason indexes its text.
enum class TReason : int8_t {
  Admitted = -1,
  UnsupportedProtocol,
  EmbeddedDisabled,
  LocalImagesDisabled,
  DepthExceeded,
  RemoteToRemote,
  RemoteDisabled,
  OutsideStartUrl,
  Filtered,
  RemoteImagesDisabled,
  RemotePagesDisabled,
  StyleSheetsDisabled,
  ScriptSourcesDisabled,
  ScriptLinksDisabled,
  ScriptUnresolved,
  UrlTooLong,  // the crawl-trap guards, in the order of TTrap
  RepeatingPath,
  QueryVariants,
  RobotsDisallowed,
};
inline constexpr int kReasonCount = 18;
// The reason's text as the exploration test shows it; empty for Admitted.
const char* ReasonText(TReason reason);

// Whether a link of this kind names a document, whose saved file gets
// ".htm" when the job asks for it.
bool TakesHtmExtension(int32_t kind);

// The entry already queued for `url`, under its own text or, for a web URL,
// under the other scheme of the same host; -1 when there is none.
int32_t FindQueuedEntry(const UrlList& queue, const TParsedUrl& url);

// Applies the downloader's queueing rules to `candidate` (its Job.editUrl is
// the link's absolute URL, `url` that URL taken apart): queues it, or gives
// it the local name of the entry already queued under its URL, or drops it.
// A page part on another server is queued only when the job may fetch from
// other servers: otherwise its link stays as written, since a local name
// that nothing fetches is a broken link in the copy. May throw TMaskError.
// Returns the index of the entry it queued or found under the URL (what
// FindQueuedEntry answers then), or -1 when it was dropped before either.
int32_t AdmitCandidate(TRetriveRec& candidate, const TParsedUrl& url, const TPageRef& page,
                       TAnalysisTarget& target);
int32_t AdmitCandidate(TRetriveRec& candidate, const TPageRef& page, TAnalysisTarget& target);

// Filters, names and queues a candidate that the rules let through; returns
// as AdmitCandidate does.
int32_t QueueLink(TRetriveRec& candidate, const TParsedUrl& url, const TPageRef& page,
                  TAnalysisTarget& target);

struct TVerdict {
  TReason Reason = TReason::Admitted;
  std::string StoredMask;
  std::string FilterMessage;
};

// The verdict the exploration test shows for a candidate built from `tag`.
// A link the rules admit is then checked by the crawl-trap guards, when
// `traps` is given, against the query strings `state` holds. May throw
// TMaskError.
struct TTrapCheck {
  const TTrapLimits& Limits;
  const TEngineState& State;
};
TVerdict LinkVerdict(const THTMLTag& tag, const TRetriveRec& candidate, const TParsedUrl& url,
                     bool scriptResolved, std::string_view startDir, std::string_view defaultDoc,
                     const TTrapCheck* traps = nullptr);
TVerdict LinkVerdict(const THTMLTag& tag, const TRetriveRec& candidate, bool scriptResolved,
                     std::string_view startDir, std::string_view defaultDoc,
                     const TTrapCheck* traps = nullptr);

}  // namespace kestrix
