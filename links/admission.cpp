#include "links/admission.h"

#include "core/ascii.h"
#include "links/html_items.h"
#include "links/link_extraction.h"
#include "links/link_filters.h"
#include "links/local_naming.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {

namespace {

// Indexed by TReason.
constexpr const char* kReasons[kReasonCount] = {
    "Unsupported protocol",
    "Embedded object, iFrame retrieval was disabled",
    "Images from local server retrieval was disabled",
    "Depth value exceed",
    "Crossing from remote host to an remote host unsupport",
    "Retrieval from remote (external) location was disabled",
    "Host name or path outside the boundaries set in starting Url",
    "Excluded by filter",
    "Images from remote location retrieval was disabled",
    "Html pages from remote location retrieval was disabled",
    "Style sheets retrieval was disabled",
    "Script source retrieval was disabled",
    "\"JavaScript\" link exploration was disabled",
    "Unsuccessful script resolving",
    "URL longer than the length limit",
    "Path repeats a segment or a run of segments",
    "Too many different query strings for this path",
    "Disallowed by robots.txt",
};

TVerdict RuleVerdict(const THTMLTag& tag, const TRetriveRec& candidate, const TParsedUrl& url,
                     bool scriptResolved, std::string_view startDir, std::string_view defaultDoc);

bool IsAnchor(int32_t kind) {
  return kind == kKindA || kind == kKindArea;
}
bool IsAnchorOrFtp(int32_t kind) {
  return IsAnchor(kind) || kind == kKindFtp;
}

// The remote "server name and path" limit: the URL must lie below the
// directory where exploration of that server started.
bool InsideRemotePath(const TRetriveRec& candidate, const TParsedUrl& url) {
  const std::string startDir = GetUrlDir(candidate.StartUrl.str());
  return InsideStartDir(url, AsciiLower(startDir), ParseUrl(startDir));
}

// Whether the candidate lies on another server than the job's start while
// the job keeps to its own server.
bool ForeignAndBarred(const TRetriveRec& candidate, const TJobRecord& job) {
  return candidate.RemoteFlag != 0 && !job.checkOtherServers;
}

// Queued without filters and without spending depth: the parts a page needs.
bool QueuedDirectly(int32_t kind, const TJobRecord& job) {
  switch (kind) {
    case kKindFrame:
    case kKindMeta:
      return true;
    case kKindLink:
      return job.checkLoadStyle;
    case kKindEmbed:
    case kKindIFrame:
      return job.checkLoadEmbed;
    case kKindScript:
      return job.checkLoadScript;
    default:
      return false;
  }
}

int32_t QueueDirectly(TRetriveRec& candidate, const TParsedUrl& url, const TPageRef& page,
                      TAnalysisTarget& target) {
  const TJobRecord& job = candidate.Job.Settings();
  UrlList& queue = target.State.Queue;
  candidate.LocalFolder =
      queue.SharedFolder(LocalDir(url, target.DownLoadFolder, job.ProjectName, job.checkReplicate));
  if (candidate.Job.editDepth <= 0) return -1;
  const int32_t found = FindQueuedEntry(queue, url);
  if (found >= 0) {
    // Where the file lies: a URL that the entry relocated to, or a start
    // that moved, names a folder of its own.
    candidate.LocalFolder = queue.Entry(found).LocalFolder;
    candidate.LocalFileName = queue.Entry(found).LocalFileName;
    return found;
  }
  // Robots first: a link they keep out must not count as a query variant.
  if (target.RobotsRefuse && target.RobotsRefuse(url.Text)) return -1;
  if (!PassTrapGuards(url, target.Traps, target.State)) return -1;
  candidate.ParentIndex = page.PageIndex;
  const bool addHtm =
      job.checkLocalize && job.checkAddHtmExt && TakesHtmExtension(candidate.LinkKind);
  candidate.LocalFileName = MakeLocalFileName(url, candidate.LocalFolder, "", target.State.Names,
                                              addHtm, target.DefaultDoc);
  return queue.Append(url.Text, candidate);
}

}  // namespace

// A site that moved to https still links many of its pages by http; both
// name one document in one host folder, which should be fetched and stored
// once.
int32_t FindQueuedEntry(const UrlList& queue, const TParsedUrl& url) {
  const int32_t found = queue.Find(url.Text);
  if (found >= 0 || !IsWebScheme(url.Scheme)) return found;
  const std::size_t sep = url.Text.find("://");
  if (sep != url.Parts.Proto.size()) return found;
  const std::string other = (url.Scheme == "http" ? "https" : "http") + url.Text.substr(sep);
  return queue.Find(other);
}

const char* ReasonText(TReason reason) {
  const int index = static_cast<int>(reason);
  return index >= 0 && index < kReasonCount ? kReasons[index] : "";
}

// A script saved as "x.js.htm" would not be found by its page.
bool TakesHtmExtension(int32_t kind) {
  return kind == kKindA || kind == kKindFrame || kind == kKindIFrame || kind == kKindArea;
}

bool InsideStartDir(const TParsedUrl& url, std::string_view startDirLower,
                    const TParsedUrl& startFolder) {
  return ContainsNoCase(url.Text, startDirLower) || InsideFolder(url, startFolder);
}

int32_t QueueLink(TRetriveRec& candidate, const TParsedUrl& url, const TPageRef& page,
                  TAnalysisTarget& target) {
  const int32_t kind = candidate.LinkKind;
  const TFilterOutcome filters =
      CheckFilters(url, candidate.LinkedText, kind, candidate, target.DefaultDoc);
  if (!filters.Passed) return -1;
  const TJobRecord& job = candidate.Job.Settings();
  UrlList& queue = target.State.Queue;
  candidate.LocalFolder =
      queue.SharedFolder(LocalDir(url, target.DownLoadFolder, job.ProjectName, job.checkReplicate));
  if (IsAnchor(kind)) --candidate.Job.editDepth;

  const int32_t found = FindQueuedEntry(queue, url);
  if (found >= 0) {
    // Also when the budget is spent: the link can still point at the copy.
    if (candidate.Job.editDepth > 0 || job.checkLocalize) {
      candidate.LocalFolder = queue.Entry(found).LocalFolder;
      candidate.LocalFileName = queue.Entry(found).LocalFileName;
    }
    return found;
  }
  if (candidate.Job.editDepth <= 0) return -1;
  // The link stays as written, pointing at the site, like any link not
  // followed. Robots first: a link they keep out must not count as a query
  // variant.
  if (target.RobotsRefuse && target.RobotsRefuse(url.Text)) return -1;
  if (!PassTrapGuards(url, target.Traps, target.State)) return -1;
  if (IsAnchor(kind)) ++candidate.Depth;
  candidate.ParentIndex = page.PageIndex;
  const bool addHtm = job.checkLocalize && job.checkAddHtmExt && TakesHtmExtension(kind);
  candidate.LocalFileName = MakeLocalFileName(url, candidate.LocalFolder, filters.StoredMask,
                                              target.State.Names, addHtm, target.DefaultDoc);
  return queue.Append(url.Text, candidate);
}

int32_t AdmitCandidate(TRetriveRec& candidate, const TPageRef& page, TAnalysisTarget& target) {
  return AdmitCandidate(candidate, ParseUrl(candidate.Job.editUrl), page, target);
}

int32_t AdmitCandidate(TRetriveRec& candidate, const TParsedUrl& url, const TPageRef& page,
                       TAnalysisTarget& target) {
  const TJobRecord& job = candidate.Job.Settings();
  const int32_t kind = candidate.LinkKind;
  if (QueuedDirectly(kind, job)) {
    return ForeignAndBarred(candidate, job) ? -1 : QueueDirectly(candidate, url, page, target);
  }
  if (candidate.LocalScopeFlag == 0) {
    if (!job.checkOtherServers) return -1;
    const bool limited = job.radioRmtThisPath || job.radioRmtThisServer;
    if (kind == kKindImg) {
      if (job.checkRmtLoadImg) return QueueLink(candidate, url, page, target);
    } else if (limited && IsAnchorOrFtp(kind)) {
      if (!job.radioRmtThisPath || InsideRemotePath(candidate, url)) {
        return QueueLink(candidate, url, page, target);
      }
    }
    return -1;
  }
  if (page.Page.RemoteFlag != 0) return -1;
  if (kind == kKindImg) {
    if ((job.radioThisPath || job.radioThisServer) && job.checkLoadImg) {
      return QueueLink(candidate, url, page, target);
    }
  } else if (IsAnchor(kind)) {
    if (job.radioThisPath) {
      if (InsideStartDir(url, page.StartDirLower, page.StartFolder)) {
        return QueueLink(candidate, url, page, target);
      }
    } else if (job.radioThisServer) {
      return QueueLink(candidate, url, page, target);
    }
  }
  return -1;
}

TVerdict LinkVerdict(const THTMLTag& tag, const TRetriveRec& candidate, bool scriptResolved,
                     std::string_view startDir, std::string_view defaultDoc,
                     const TTrapCheck* traps) {
  return LinkVerdict(tag, candidate, ParseUrl(candidate.Job.editUrl), scriptResolved, startDir,
                     defaultDoc, traps);
}

TVerdict LinkVerdict(const THTMLTag& tag, const TRetriveRec& candidate, const TParsedUrl& url,
                     bool scriptResolved, std::string_view startDir, std::string_view defaultDoc,
                     const TTrapCheck* traps) {
  TVerdict verdict = RuleVerdict(tag, candidate, url, scriptResolved, startDir, defaultDoc);
  if (verdict.Reason != TReason::Admitted || traps == nullptr) return verdict;
  const TTrap trap = TrapOf(url, traps->Limits, traps->State);
  if (trap != TTrap::None) {
    verdict.Reason =
        static_cast<TReason>(static_cast<int>(TReason::UrlTooLong) + static_cast<int>(trap) - 1);
  }
  return verdict;
}

namespace {

TVerdict RuleVerdict(const THTMLTag& tag, const TRetriveRec& candidate, const TParsedUrl& url,
                     bool scriptResolved, std::string_view startDir, std::string_view defaultDoc) {
  TVerdict verdict;
  const TJobRecord& job = candidate.Job.Settings();
  const int32_t kind = candidate.LinkKind;
  const auto reason = [&verdict](TReason r) {
    verdict.Reason = r;
    return verdict;
  };
  const auto filtersFail = [&]() {
    TFilterOutcome f = CheckFilters(url, candidate.LinkedText, kind, candidate, defaultDoc);
    verdict.StoredMask = std::move(f.StoredMask);
    verdict.FilterMessage = std::move(f.FilterMessage);
    return !f.Passed;
  };

  if (!IsSupportedProtocol(url.Text)) {
    if (!HasScriptParam(tag)) return reason(TReason::UnsupportedProtocol);
    return reason(job.checkLoadScript ? TReason::ScriptUnresolved : TReason::ScriptLinksDisabled);
  }
  const std::string link = LinkValue(tag);
  const std::string_view value = TrimControls(link);
  if ((value.empty() || value.front() == '#') && tag.FindParam("onclick") != nullptr) {
    if (!job.checkLoadScript) return reason(TReason::ScriptLinksDisabled);
    if (!scriptResolved) return reason(TReason::ScriptUnresolved);
  }
  if (candidate.RemoteFlag == 1 && candidate.LocalScopeFlag == 0 && IsAnchorOrFtp(kind)) {
    return reason(TReason::RemoteToRemote);
  }
  // Page parts are queued directly, but on another server only when the
  // job may fetch from other servers.
  const auto part = [&](bool enabled, TReason disabled) {
    if (!enabled) return reason(disabled);
    return reason(ForeignAndBarred(candidate, job) ? TReason::RemoteDisabled : TReason::Admitted);
  };
  if (kind == kKindScript) return part(job.checkLoadScript, TReason::ScriptSourcesDisabled);
  if (kind == kKindLink) return part(job.checkLoadStyle, TReason::StyleSheetsDisabled);
  // A next or previous page named by a LINK tag is followed as an anchor,
  // but only when the job reads LINK tags at all.
  if (tag.Kind == kKindLink && !job.checkLoadStyle) return reason(TReason::StyleSheetsDisabled);
  if (kind == kKindIFrame || kind == kKindEmbed)
    return part(job.checkLoadEmbed, TReason::EmbeddedDisabled);
  // Frames and refreshes are queued whatever the job's other settings, so
  // the test must not call them disabled.
  if (kind == kKindFrame || kind == kKindMeta) return part(true, TReason::Admitted);

  const bool remoteLimited = job.radioRmtThisPath || job.radioRmtThisServer;
  // Only an A or AREA spends a unit of depth when it is queued; an ftp
  // anchor is queued while any budget is left.
  const bool depthSpent = candidate.Job.editDepth - (IsAnchor(kind) ? 1 : 0) < 1;
  if (candidate.LocalScopeFlag == 0) {
    if (!job.checkOtherServers) return reason(TReason::RemoteDisabled);
    if (kind == kKindImg) {
      if (!job.checkRmtLoadImg) return reason(TReason::RemoteImagesDisabled);
      if (filtersFail()) return reason(TReason::Filtered);
    } else if (IsAnchorOrFtp(kind)) {
      if (!remoteLimited) return reason(TReason::RemoteDisabled);
      if (depthSpent) return reason(TReason::DepthExceeded);
    }
    return reason(TReason::Admitted);
  }
  if (candidate.RemoteFlag == 0) {
    if (kind == kKindImg) {
      if (!job.checkLoadImg) return reason(TReason::LocalImagesDisabled);
      if (filtersFail()) return reason(TReason::Filtered);
    } else if (IsAnchorOrFtp(kind)) {
      if (depthSpent) return reason(TReason::DepthExceeded);
      if (job.radioThisPath && !InsideStartDir(url, AsciiLower(startDir), ParseUrl(startDir))) {
        return reason(TReason::OutsideStartUrl);
      }
      if (filtersFail()) return reason(TReason::Filtered);
    }
    return reason(TReason::Admitted);
  }
  if (!job.checkOtherServers) return reason(TReason::RemoteDisabled);
  if (kind == kKindImg) {
    if (!job.checkRmtLoadImg) return reason(TReason::RemoteImagesDisabled);
    if (filtersFail()) return reason(TReason::Filtered);
  }
  if (!IsAnchorOrFtp(kind)) return reason(TReason::Admitted);
  if (!remoteLimited) return reason(TReason::RemotePagesDisabled);
  if (job.radioRmtThisPath && !InsideRemotePath(candidate, url))
    return reason(TReason::OutsideStartUrl);
  // The other server's budget is spent like any other: with no depth left
  // for it the downloader does not queue the anchor.
  if (depthSpent) return reason(TReason::DepthExceeded);
  if (filtersFail()) return reason(TReason::Filtered);
  return reason(TReason::Admitted);
}

}  // namespace

}  // namespace kestrix
