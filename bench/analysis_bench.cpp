// Link analysis of a whole site, as a mirror runs it, without the network:
// the pages of a site that bench/gen-site.py wrote with
// `--port 47001 --port2 47002` into the folder KESTRIX_BENCH_SITE are
// analysed in queue order with the bench's mirror rules (this server,
// images, styles, offline links, replicated folders), every queued entry
// taken as fetched. The pass after a run is measured on the pages that
// analysis wrote: reading back what each page links to, and editing the
// pages that link to entries taken as failed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/url_list.h"
#include "links/admission.h"
#include "links/html_parser.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "links/relink.h"
#include "links/script_resolver.h"

namespace kestrix {
namespace {

constexpr char kBase[] = "http://127.0.0.1:47001/";
constexpr char kOther[] = "http://127.0.0.1:47002/";

std::vector<std::string> PageLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool LooksLikePage(const std::string& url) {
  const std::string path = url.substr(0, url.find('?'));
  return path.ends_with("/") || path.ends_with(".html");
}

// The bench's mirror rules.
TJobRecord MirrorJob() {
  TJobRecord job;
  job.ProjectName = "site";
  job.editUrl = kBase;
  job.editDepth = 1000;
  job.radioThisPath = false;
  job.radioThisServer = true;
  job.checkLoadImg = job.checkLoadStyle = job.checkLoadEmbed = true;
  job.checkLocalize = job.checkReplicate = true;
  job.checkAddHtmExt = false;
  return job;
}

// The file of the generated site that a page's URL names, or "" for a URL
// that is not one of its pages.
std::string PageFile(const std::string& url) {
  if (!LooksLikePage(url)) return {};
  const bool other = url.starts_with(kOther);
  if (!other && !url.starts_with(kBase)) return {};
  std::string path = (other ? "other/" : "www/") + url.substr(sizeof kBase - 1);
  path = path.substr(0, path.find('?'));
  if (path.empty() || path.ends_with("/")) path += "index.html";
  return path;
}

const char* SiteRoot(benchmark::State& state) {
  const char* site = std::getenv("KESTRIX_BENCH_SITE");
  if (site == nullptr) state.SkipWithError("KESTRIX_BENCH_SITE is not set");
  return site;
}

void BM_AnalyseSite(benchmark::State& state) {
  const char* site = SiteRoot(state);
  if (site == nullptr) return;
  const std::string root = std::string(site) + "/";
  int64_t pages = 0;
  for (auto _ : state) {
    TEngineState engine;
    TAnalysisTarget target{engine, "/dl/", "index.html", {}};
    THTMLParser parser;
    NullScriptResolver resolver;
    const TJobRecord job = MirrorJob();
    AppendStartUrl(engine.Queue, job, 1, kBase, LocalDir(kBase, "/dl/", "site", true));
    for (int32_t i = 0; i < engine.Queue.Count(); ++i) {
      TRetriveRec& entry = engine.Queue.Entry(i);
      if (entry.LocalFileName.empty()) {
        entry.LocalFileName = MakeLocalFileName(entry.Job.editUrl, entry.LocalFolder, "",
                                                engine.Names, false, "index.html");
      }
      const std::string url = entry.Job.editUrl;
      if (i + 1 == engine.Queue.Count()) state.counters["queued"] = i + 1;
      const std::string path = PageFile(url);
      if (path.empty()) continue;
      state.PauseTiming();  // reading the file is not analysis
      std::vector<std::string> lines = PageLines(root + path);
      entry.IsHtml = 1;
      state.ResumeTiming();
      benchmark::DoNotOptimize(ParsePage(lines, entry, i, target, resolver, parser));
      ++pages;
    }
  }
  state.SetItemsProcessed(pages);
  state.counters["pages"] = static_cast<double>(pages) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AnalyseSite)->Unit(benchmark::kMillisecond);

// The site as a run leaves it: each saved page's lines and local path, the
// entries it links to, and each entry's local path and URL.
struct TSavedSite {
  std::vector<std::vector<std::string>> Lines;
  std::vector<std::string> PagePaths;
  std::vector<std::vector<int32_t>> Linked;
  std::vector<std::string> EntryPaths;
  std::vector<std::string> EntryUrls;
};

TSavedSite SaveSite(const std::string& root) {
  TSavedSite site;
  TEngineState engine;
  TAnalysisTarget target{engine, "/dl/", "index.html", {}};
  THTMLParser parser;
  NullScriptResolver resolver;
  const TJobRecord job = MirrorJob();
  AppendStartUrl(engine.Queue, job, 1, kBase, LocalDir(kBase, "/dl/", "site", true));
  for (int32_t i = 0; i < engine.Queue.Count(); ++i) {
    TRetriveRec& entry = engine.Queue.Entry(i);
    if (entry.LocalFileName.empty()) {
      entry.LocalFileName = MakeLocalFileName(entry.Job.editUrl, entry.LocalFolder, "",
                                              engine.Names, false, "index.html");
    }
    const std::string path = PageFile(entry.Job.editUrl);
    if (path.empty()) continue;
    std::vector<std::string> lines = PageLines(root + path);
    entry.IsHtml = 1;
    std::vector<int32_t> linked;
    ParsePage(lines, entry, i, target, resolver, parser, nullptr, &linked);
    site.Lines.push_back(std::move(lines));
    site.PagePaths.push_back(entry.LocalFolder + entry.LocalFileName);
    site.Linked.push_back(std::move(linked));
  }
  for (int32_t i = 0; i < engine.Queue.Count(); ++i) {
    const TRetriveRec& entry = engine.Queue.Entry(i);
    site.EntryPaths.push_back(entry.LocalFolder + entry.LocalFileName);
    site.EntryUrls.push_back(entry.Job.editUrl);
  }
  return site;
}

// What a run that continues an earlier one reads from the disk: the local
// links of every saved page.
void BM_ReadBackLinks(benchmark::State& state) {
  const char* root = SiteRoot(state);
  if (root == nullptr) return;
  const TSavedSite site = SaveSite(std::string(root) + "/");
  int64_t links = 0;
  for (auto _ : state) {
    for (size_t p = 0; p < site.Lines.size(); ++p) {
      links += static_cast<int64_t>(LocalLinksOf(site.Lines[p], site.PagePaths[p], false).size());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(site.Lines.size()) * state.iterations());
  state.counters["links"] = static_cast<double>(links) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadBackLinks)->Unit(benchmark::kMillisecond);

// The pass when every Nth entry (the argument) failed: the pages that link
// to one of them are found through the entries' lists and edited.
void BM_RelinkFailed(benchmark::State& state) {
  const char* root = SiteRoot(state);
  if (root == nullptr) return;
  const TSavedSite site = SaveSite(std::string(root) + "/");
  const auto every = static_cast<size_t>(state.range(0));
  TRelinks relinks;
  std::unordered_map<int32_t, bool> failed;
  for (size_t e = 1; e < site.EntryPaths.size(); e += every) {
    relinks[site.EntryPaths[e]] = TRelink{site.EntryUrls[e], ""};
    failed[static_cast<int32_t>(e)] = true;
  }
  std::vector<size_t> pages;
  for (size_t p = 0; p < site.Linked.size(); ++p) {
    for (const int32_t e : site.Linked[p]) {
      if (failed.contains(e)) {
        pages.push_back(p);
        break;
      }
    }
  }
  int64_t edited = 0;
  for (auto _ : state) {
    for (const size_t p : pages) {
      state.PauseTiming();  // the page as read from the disk
      std::vector<std::string> lines = site.Lines[p];
      state.ResumeTiming();
      edited += RelinkPage(lines, site.PagePaths[p], false, relinks);
    }
  }
  state.counters["failed"] = static_cast<double>(relinks.size());
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["links"] = static_cast<double>(edited) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RelinkFailed)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrix
