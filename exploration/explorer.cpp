#include "exploration/explorer.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/file_util.h"
#include "core/job_url.h"
#include "core/url_split.h"
#include "engine/robots_cache.h"
#include "engine/site_gate.h"
#include "links/admission.h"
#include "links/css_links.h"
#include "links/html_parser.h"
#include "links/koi8.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "links/script_resolver.h"

namespace kestrix {
namespace {

constexpr const char* kTypeNames[kLinkTypeCount] = {
    "Html Reference", "Image", "Embedded, iFrame",  "Style Sheets", "JavaScript",
    "Frame",          "Form",  "URL script result", "FTP link",
};

TLinkType TypeOf(int32_t kind, bool scriptResolved) {
  if (scriptResolved) return TLinkType::ScriptResult;
  switch (kind) {
    case kKindImg:
      return TLinkType::Image;
    case kKindLink:
      return TLinkType::StyleSheet;
    case kKindEmbed:
      return TLinkType::Embedded;
    case kKindFrame:
    case kKindIFrame:
      return TLinkType::Frame;
    case kKindScript:
      return TLinkType::JavaScript;
    case kKindFtp:
      return TLinkType::Ftp;
    default:
      return TLinkType::HtmlReference;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

const char* LinkTypeName(TLinkType type) {
  return kTypeNames[static_cast<int>(type)];
}

std::string TestCacheFolder(const std::string& downloadFolder, const std::string& project) {
  return AddBackslash(downloadFolder) + project + "/LinkCheck/";
}

TExplorer::TExplorer(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver)
    : options_(options), parser_(parser), resolver_(resolver), fetcher_(options) {
  fetcher_.OnStatus = [this](const std::string& text) { Status(text); };
  fetcher_.OnLog = [this](const std::string& text) {
    if (OnLog) OnLog(text);
  };
  fetcher_.OnHtmlPiece = [this](const std::string& piece) { htmlText_ += piece; };
  fetcher_.OnFinished = [this] { FetchDone(); };
}

TExplorer::~TExplorer() {
  // Leaving aborts a fetch that still runs; nothing is reported after.
  fetcher_.Detach();
}

void TExplorer::Status(const std::string& text) {
  if (OnStatus) OnStatus(text);
}

std::string TExplorer::CacheFolder() const {
  return TestCacheFolder(options_.DownLoadFolder, job_.ProjectName);
}

std::string TExplorer::CurrentPath() const {
  if (current_ < 0) return {};
  return Current().LocalFolder + Current().LocalFileName;
}

int TExplorer::EnabledCount() const {
  int count = 0;
  for (const TTestLink& link : links_) count += link.Enabled ? 1 : 0;
  return count;
}

bool TExplorer::CreateNewThread(const TJobRecord& job, int32_t jobNumber) {
  if (Running()) return false;
  job_ = job;
  job_.editUrl = StartingUrl(job.editUrl);
  jobNumber_ = jobNumber;
  keptRobots_.clear();  // a download since may have fetched them
  MakeFirstJob();
  return true;
}

void TExplorer::SetJob(const TJobRecord& job) {
  const std::string url = job_.editUrl;
  job_ = job;
  job_.editUrl = url;
}

void TExplorer::MakeFirstJob() {
  links_.clear();
  state_.ClearQueue();
  page_ = TPageLines{};
  htmlText_.clear();
  canParse_ = false;
  // Every file of the test lies below the project's own test folder, so
  // that a test never overwrites the project's downloaded pages.
  const std::string project = job_.ProjectName + "/LinkCheck";
  const std::string folder =
      LocalDir(job_.editUrl, options_.DownLoadFolder, project, job_.checkReplicate);
  current_ = AppendStartUrl(state_.Queue, job_, jobNumber_, job_.editUrl, folder);
  TRetriveRec& first = state_.Queue.Entry(current_);
  first.LocalFileName =
      MakeLocalFileName(job_.editUrl, folder, "", state_.Names, false, options_.DefaultDoc);
  if (OnChanged) OnChanged();
}

bool TExplorer::GetUrl() {
  if (current_ < 0 || Running()) return false;
  htmlText_.clear();
  page_ = TPageLines{};
  links_.clear();
  canParse_ = false;
  TRetriveRec& entry = state_.Queue.Entry(current_);
  entry.ReceivedSize = 0;
  entry.ContentSize = 0;
  // A relocation changes the entry's URL; the queue keeps its own.
  state_.Queue.PinUrl(current_);
  if (!fetcher_.Fetch(entry)) {
    if (OnChanged) OnChanged();
    return false;
  }
  if (OnChanged) OnChanged();
  return true;
}

void TExplorer::Stop() {
  fetcher_.Stop();
}

bool TExplorer::InCache(int32_t index) const {
  if (index < 0 || index >= state_.Queue.Count()) return false;
  const TRetriveRec& entry = state_.Queue.Entry(index);
  std::error_code error;
  return entry.ContentSize >= 1 && entry.ContentSize == entry.ReceivedSize &&
         std::filesystem::is_regular_file(entry.LocalFolder + entry.LocalFileName, error);
}

bool TExplorer::GetFileUrl() {
  if (!InCache(current_)) return false;
  ShowPage();
  return true;
}

void TExplorer::FetchDone() {
  TRetriveRec& entry = state_.Queue.Entry(current_);
  if (entry.ReceivedSize > 0 && entry.ErrorCode == 0) {
    if (entry.IsHtml && Koi8Converts(job_, entry.RemoteFlag)) DecodeKoi8File(CurrentPath());
    ShowPage();
  } else if (OnChanged) {
    OnChanged();
  }
  if (OnFetchDone) OnFetchDone();
}

void TExplorer::ShowPage() {
  links_.clear();
  page_ = TPageLines{};
  const std::string path = CurrentPath();
  if (!Current().IsHtml) {
    htmlText_ = "Can't view as html :\n" + path;
    canParse_ = false;
    if (OnChanged) OnChanged();
    return;
  }
  canParse_ = true;
  htmlText_ = ReadAll(path);
  LoadPageLines(path, page_);
  ParseLinks();
}

bool TExplorer::MakeCurrent(int32_t index) {
  if (Running() || index < 0 || index >= state_.Queue.Count()) return false;
  current_ = index;
  if (InCache(index)) {
    ShowPage();
    return true;
  }
  return GetUrl();
}

bool TExplorer::NextLevel(const std::string& url) {
  return MakeCurrent(state_.Queue.Find(url));
}

bool TExplorer::Back() {
  if (current_ < 0) return false;
  return MakeCurrent(Current().ParentIndex);
}

bool TExplorer::DeleteAll() {
  if (Running()) {
    Status(kConnectionOpenText);
    return false;
  }
  if (current_ < 0) return true;
  DeleteDirectory(CacheFolder(), true);
  MakeFirstJob();
  return true;
}

void TExplorer::AddLink(TTestLink link) {
  const bool* shown = link.Enabled ? Filter.Enabled : Filter.Disabled;
  if (!shown[static_cast<int>(link.Type)]) return;
  links_.push_back(std::move(link));
}

void TExplorer::ParseLinks() {
  links_.clear();
  if (current_ < 0 || page_.Lines.empty()) {
    if (OnChanged) OnChanged();
    return;
  }
  Status("Parsing ...");
  const TRetriveRec& current = Current();
  // The settings now in force, with the entry's own URL and depth budget.
  TRetriveRec page = current;
  page.Job = TEntryJob(job_);
  page.Job.editUrl = current.Job.editUrl;
  page.Job.editDepth = current_ == 0 ? job_.editDepth : current.Job.editDepth;

  parser_.Clear();
  parser_.KeptKinds =
      kKeepFrame | kKeepIFrame | kKeepA | kKeepImg | kKeepEmbed | kKeepLink | kKeepScript;
  parser_.Lines = &page_.Lines;
  parser_.Parse();
  parser_.Lines = nullptr;
  if (job_.checkLoadScript && parser_.HasScript) {
    std::string text;
    for (const std::string& line : page_.Lines) text += line + "\n";
    resolver_.LoadPage(text);
  }
  TAnalysisTarget target{state_, options_.DownLoadFolder, options_.DefaultDoc,
                         TrapLimitsOf(options_)};
  const TTrapCheck traps{target.Traps, state_};
  TPageAnalysis analysis(page_.Lines, page, current_, target, resolver_,
                         TExtractionRules::Exploration);
  const std::string project = job_.ProjectName + "/LinkCheck";
  int index = 0;
  analysis.OnExplore = [&](const THTMLTag& tag, TLinkCandidate& candidate) {
    TRetriveRec& rec = candidate.Rec;
    const std::string url = rec.Job.editUrl;
    rec.LocalFolder = LocalDir(url, options_.DownLoadFolder, project, job_.checkReplicate);
    TVerdict verdict = LinkVerdict(tag, rec, candidate.ScriptResolved, analysis.Context().StartDir,
                                   options_.DefaultDoc, &traps);
    if (verdict.Reason == TReason::Admitted && KeptRobotsRefuse(url)) {
      verdict.Reason = TReason::RobotsDisallowed;
    }
    TTestLink link;
    link.Enabled = verdict.Reason == TReason::Admitted;
    link.Type = TypeOf(rec.LinkKind, candidate.ScriptResolved);
    link.Kind = rec.LinkKind;
    link.Url = url;
    link.LinkedText = rec.LinkedText;
    if (const THTMLParam* onClick = tag.FindParam("onclick")) link.OnClick = onClick->Value;
    link.Remote = rec.RemoteFlag != 0;
    link.RequestMethod = rec.RequestMethod;
    link.PostData = rec.PostData;
    link.Reason = verdict.Reason;
    const bool shown =
        (link.Enabled ? Filter.Enabled : Filter.Disabled)[static_cast<int>(link.Type)];
    if (link.Enabled && shown) {
      if (rec.LinkKind == kKindA || rec.LinkKind == kKindArea) {
        --rec.Job.editDepth;
        ++rec.Depth;
      }
      rec.ParentIndex = current_;
      if (state_.Queue.Find(url) < 0 && PassTrapGuards(ParseUrl(url), traps.Limits, state_)) {
        const bool addHtm =
            job_.checkLocalize && job_.checkAddHtmExt && TakesHtmExtension(rec.LinkKind);
        rec.LocalFileName = MakeLocalFileName(url, rec.LocalFolder, verdict.StoredMask,
                                              state_.Names, addHtm, options_.DefaultDoc);
        state_.Queue.Append(url, rec);
      }
    } else if (!link.Enabled) {
      link.Message = ReasonText(verdict.Reason);
      if (verdict.Reason == TReason::Filtered && !verdict.FilterMessage.empty()) {
        link.Message += " token(s):" + verdict.FilterMessage;
      }
    }
    link.Depth = rec.Depth;
    AddLink(std::move(link));
  };
  try {
    for (const THTMLItem& item : parser_.Items) {
      ++index;
      if (const THTMLTag* tag = AsTag(item)) {
        analysis.ProcessTag(*tag);
        Status("Parsing " + std::to_string(index));
      }
    }
    AnalyseInlineStyles(analysis, target);
  } catch (const std::exception& failure) {
    // An invalid filter pattern ends the page, as it does in the downloader.
    if (OnLog) OnLog(failure.what());
    Status(failure.what());
  }
  analysis.Finish();
  if (!resolver_.PageText().empty()) resolver_.ClearPage();
  Status(std::to_string(links_.size()) + " link(s) total");
  if (OnChanged) OnChanged();
}

bool TExplorer::KeptRobotsRefuse(const std::string& url) {
  if (!options_.FollowRobots) return false;
  const std::string origin = OriginOf(url);
  auto found = keptRobots_.find(origin);
  if (found == keptRobots_.end()) {
    const TUrlParts parts = SplitUrl(origin);
    const std::optional<TRobotsCacheEntry> kept = LoadRobotsCache(RobotsCachePath(
        options_.DownLoadFolder, job_.ProjectName, parts.Proto, parts.Host, parts.Port));
    found = keptRobots_.emplace(origin, kept ? RulesOf(*kept) : TRobotsRules()).first;
  }
  return !found->second.Allowed(PathAndQueryOf(url));
}

}  // namespace kestrix
