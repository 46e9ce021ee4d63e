// The links exploration test without its window: fetches one page of a job
// into a cache folder of the project's own, analyses it with the
// downloader's extraction and admission rules, and lists every link with
// the verdict and the reason the downloader would give it. Its list of
// tested entries and its used names are its own; the download queue is
// never touched.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/global_options.h"
#include "core/job_record.h"
#include "core/url_list.h"
#include "engine/cookie_jar.h"
#include "engine/page_lines.h"
#include "engine/robots_rules.h"
#include "exploration/explorer_fetcher.h"
#include "links/admission.h"

namespace kestrix {

class THTMLParser;
class ScriptResolver;

// The link types of the pictures and of the filter, in the filter's order.
enum class TLinkType {
  HtmlReference,
  Image,
  Embedded,
  StyleSheet,
  JavaScript,
  Frame,
  Form,
  ScriptResult,
  Ftp,
};
inline constexpr int kLinkTypeCount = 9;
// "Html Reference", "Image", ... as the filter names them.
const char* LinkTypeName(TLinkType type);

// One row of either grid.
struct TTestLink {
  bool Enabled = false;
  TLinkType Type = TLinkType::HtmlReference;
  int32_t Kind = 0;  // the tag kind
  std::string Url;
  std::string LinkedText;
  std::string OnClick;
  bool Remote = false;
  int RequestMethod = kMethodGet;
  std::string PostData;
  int32_t Depth = 0;
  TReason Reason = TReason::Admitted;
  std::string Message;  // the reason text shown, with the filter's tokens
};

// The types shown in each grid; all by default.
struct TLinkFilter {
  bool Enabled[kLinkTypeCount] = {true, true, true, true, true, true, true, true, true};
  bool Disabled[kLinkTypeCount] = {true, true, true, true, true, true, true, true, true};
};

// Why closing the window or deleting the test's entries is refused.
inline constexpr char kConnectionOpenText[] = "Connection is open now !";

// The folder, ending in "/", below which the test of `project` keeps every
// file it fetches.
std::string TestCacheFolder(const std::string& downloadFolder, const std::string& project);

class TExplorer {
 public:
  TExplorer(const TGlobalOptions& options, THTMLParser& parser, ScriptResolver& resolver);
  ~TExplorer();
  TExplorer(const TExplorer&) = delete;
  TExplorer& operator=(const TExplorer&) = delete;

  std::function<void(const std::string&)> OnStatus;
  std::function<void(const std::string&)> OnLog;
  // The current entry changed, or its page was shown or parsed again.
  std::function<void()> OnChanged;
  // A fetch started by GetUrl or a step has ended.
  std::function<void()> OnFetchDone;

  // Starts the test over for `job` (number `jobNumber` of its project):
  // clears everything and makes the job's normalised URL the first entry.
  // False when a fetch runs.
  bool CreateNewThread(const TJobRecord& job, int32_t jobNumber);

  // Fetches the current entry. False when a fetch runs already or none
  // could be started.
  bool GetUrl();
  // Shows the current entry's cached file without fetching; false when it
  // is not complete in the cache.
  bool GetFileUrl();
  // Analyses the current page again and lists its links.
  void ParseLinks();
  // Makes the tested entry of `url` (a link of the enabled grid) current,
  // shown from the cache when complete there, else fetched. False when it
  // is not in the list or a fetch runs.
  bool NextLevel(const std::string& url);
  // Makes the current entry's parent current in the same way.
  bool Back();
  // Clears every tested entry and the cache folder and starts from the
  // first entry again. False, changing nothing, while a fetch runs.
  bool DeleteAll();
  // Stops a running fetch.
  void Stop();

  bool Running() const { return fetcher_.Running(); }
  // The HTTP status of the last reply.
  int StatusCode() const { return fetcher_.StatusCode(); }
  bool HasJob() const { return current_ >= 0; }
  const TRetriveRec& Current() const { return state_.Queue.Entry(current_); }
  int32_t CurrentIndex() const { return current_; }
  const UrlList& Entries() const { return state_.Queue; }
  const TJobRecord& Job() const { return job_; }
  // Settings that apply from the next parse on (the job property dialog).
  void SetJob(const TJobRecord& job);
  const std::vector<TTestLink>& Links() const { return links_; }
  int EnabledCount() const;
  const TPageLines& Page() const { return page_; }
  // What the HTML text view shows: the page, or why it cannot be shown.
  const std::string& HtmlText() const { return htmlText_; }
  bool CanParse() const { return canParse_; }
  std::string CacheFolder() const;
  std::string CurrentPath() const;
  TLinkFilter Filter;

  // The entry already complete in the cache.
  bool InCache(int32_t index) const;

 private:
  bool MakeCurrent(int32_t index);
  void MakeFirstJob();
  void FetchDone();
  void ShowPage();
  void AddLink(TTestLink link);
  void Status(const std::string& text);

  // Whether the site's rules, as the project's downloads kept them,
  // disallow `url`; a site whose rules were never fetched allows all.
  bool KeptRobotsRefuse(const std::string& url);

  const TGlobalOptions& options_;
  std::map<std::string, TRobotsRules> keptRobots_;  // by origin
  THTMLParser& parser_;
  ScriptResolver& resolver_;
  TJobRecord job_;
  int32_t jobNumber_ = 0;
  TEngineState state_;
  int32_t current_ = -1;
  TPageLines page_;
  std::string htmlText_;
  bool canParse_ = false;
  std::vector<TTestLink> links_;
  // The project's cookies as its downloads left them, so that pages behind
  // a login are tested as they are copied. Never saved from here.
  TCookieJar cookies_;
  TExplorerFetcher fetcher_;
};

}  // namespace kestrix
