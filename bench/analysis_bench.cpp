// Link analysis of a whole site, as a mirror runs it, without the network:
// the pages of a site that bench/gen-site.py wrote with
// `--port 47001 --port2 47002` into the folder KESTRIX_BENCH_SITE are
// analysed in queue order with the bench's mirror rules (this server,
// images, styles, offline links, replicated folders), every queued entry
// taken as fetched.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/url_list.h"
#include "links/admission.h"
#include "links/html_parser.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
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

void BM_AnalyseSite(benchmark::State& state) {
  const char* site = std::getenv("KESTRIX_BENCH_SITE");
  if (site == nullptr) {
    state.SkipWithError("KESTRIX_BENCH_SITE is not set");
    return;
  }
  const std::string root = std::string(site) + "/";
  int64_t pages = 0;
  for (auto _ : state) {
    TEngineState engine;
    TAnalysisTarget target{engine, "/dl/", "index.html"};
    THTMLParser parser;
    NullScriptResolver resolver;
    TJobRecord job;
    job.ProjectName = "site";
    job.editUrl = kBase;
    job.editDepth = 1000;
    job.radioThisPath = false;
    job.radioThisServer = true;
    job.checkLoadImg = job.checkLoadStyle = job.checkLoadEmbed = true;
    job.checkLocalize = job.checkReplicate = true;
    job.checkAddHtmExt = false;
    AppendStartUrl(engine.Queue, job, 1, kBase, LocalDir(kBase, "/dl/", "site", true));
    for (int32_t i = 0; i < engine.Queue.Count(); ++i) {
      TRetriveRec& entry = engine.Queue.Entry(i);
      if (entry.LocalFileName.empty()) {
        entry.LocalFileName = MakeLocalFileName(entry.Job.editUrl, entry.LocalFolder, "",
                                                engine.Names, false, "index.html");
      }
      const std::string url = entry.Job.editUrl;
      if (i + 1 == engine.Queue.Count()) state.counters["queued"] = i + 1;
      if (!LooksLikePage(url)) continue;
      const bool other = url.starts_with(kOther);
      if (!other && !url.starts_with(kBase)) continue;
      std::string path = (other ? "other/" : "www/") + url.substr(sizeof kBase - 1);
      path = path.substr(0, path.find('?'));
      if (path.empty() || path.ends_with("/")) path += "index.html";
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

}  // namespace
}  // namespace kestrix
