// A large site's queue without the network: appends URLs shaped like the
// generated bench site's (pages in nested section folders, their images,
// style sheets and scripts), each looked up first and then named, foldered
// and filled the way link analysis and a finished fetch fill it; then saves
// the history as the end of a run does. Prints the time of each step, the
// resident memory once the queue is built, and the peak.
//
//   queue_load [ENTRIES] [SCRATCH_FOLDER]     (default 1000000, /tmp)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/parsed_url.h"
#include "core/url_list.h"
#include "engine/history_file.h"
#include "links/html_items.h"
#include "links/local_naming.h"

namespace kestrix {
namespace {

constexpr const char* kSite = "http://127.0.0.1:38121/";
const char* const kWords[] = {"market", "craft",  "river", "press", "garden", "signal", "harbor",
                              "atlas",  "meadow", "forge", "lumen", "quartz", "tundra"};

// The i-th URL of the site: a page, or one of the page's requisites.
std::string SiteUrl(int64_t i, int32_t& kind) {
  const int64_t page = i / 2;
  const char* word = kWords[page % 13];
  std::string url = kSite;
  url += kWords[(page / 13) % 13];
  url += '-';
  url += std::to_string(page % 97);
  url += '/';
  if (page % 3 == 0) url += "archive/" + std::to_string(page % 11) + '/';
  if (i % 2 == 0) {
    kind = kKindA;
    url += word;
    url += '-' + std::to_string(page) +
           (page % 17 == 0 ? ".html?id=" + std::to_string(page % 5) : std::string(".html"));
  } else if (page % 20 == 1) {
    kind = kKindLink;
    url += "css/" + std::string(word) + '-' + std::to_string(page) + ".css";
  } else {
    kind = kKindImg;
    url += "img/" + std::string(word) + '-' + std::to_string(page) + (page % 2 ? ".png" : ".gif");
  }
  return url;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double PeakMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1e3;
}

int Run(int64_t entries, const std::filesystem::path& scratch) {
  const std::string folder = (scratch / ("queue_load." + std::to_string(getpid()))).string() + '/';
  std::filesystem::create_directories(folder);
  TJobRecord job;
  job.ProjectName = "site";
  job.checkReplicate = true;
  job.lcleditRetriveFile = "*.htm;*.html;*.php;*.asp;*.cgi*|*.html";
  job.lcleditIgnoreFile = "*.zip;*.exe;*.iso";
  const TEntryJob shared(job);
  TEngineState state;
  const double startMb = ResidentMb();

  const auto loadStart = std::chrono::steady_clock::now();
  AppendStartUrl(state.Queue, shared, 1, kSite, LocalDir(kSite, folder, "site", true));
  TRetriveRec entry;
  for (int64_t i = 0; state.Queue.Count() < entries; ++i) {
    int32_t kind = 0;
    const std::string text = SiteUrl(i, kind);
    if (state.Queue.Find(text) >= 0) continue;
    const TParsedUrl url = ParseUrl(text);
    InitRetriveRec(entry);
    entry.Job = shared;
    entry.Job.editUrl = text;
    entry.Job.editDepth = 1000;
    entry.JobNumber = 1;
    entry.LinkKind = kind;
    entry.StartUrl = state.Queue.Entry(0).StartUrl;  // as link analysis copies the page's
    entry.LinkedText = kind == kKindA ? std::string("Read about the ") + kWords[i % 13] : "";
    entry.Depth = static_cast<int32_t>(1 + i % 6);
    entry.ParentIndex = static_cast<int32_t>(i / 40);
    entry.LocalFolder = LocalDir(url, folder, "site", true);
    entry.LocalFileName =
        MakeLocalFileName(url, entry.LocalFolder, "", state.Names, kind == kKindA, "index.html");
    // As the fetch leaves it.
    entry.IsHtml = kind == kKindA;
    entry.ContentSize = entry.ReceivedSize = 2000 + (i * 7919) % 60000;
    entry.LastModified = 46000.5 + static_cast<double>(i % 1000);
    entry.StatusCode = 200;
    state.Queue.Append(text, entry);
  }
  state.NextIndex = state.ProcessedCount = state.Queue.Count();
  const double loadSeconds = Seconds(loadStart);
  const double builtMb = ResidentMb();

  const auto saveStart = std::chrono::steady_clock::now();
  const bool saved = SaveHistory(folder, "site", state);
  const double saveSeconds = Seconds(saveStart);
  const auto historyBytes = std::filesystem::file_size(HistoryFilePath(folder, "site"));
  std::filesystem::remove_all(folder);
  if (!saved) {
    std::fprintf(stderr, "queue_load: the history was not saved\n");
    return 1;
  }
  std::printf("entries %lld, used names %zu\n", static_cast<long long>(state.Queue.Count()),
              state.Names.size());
  std::printf("build the queue   %7.2f s\n", loadSeconds);
  std::printf("save the history  %7.2f s (%.1f MB)\n", saveSeconds,
              static_cast<double>(historyBytes) / 1e6);
  std::printf("resident, queue built %7.1f MB (%.0f bytes per entry)\n", builtMb,
              (builtMb - startMb) * 1e6 / static_cast<double>(entries));
  std::printf("peak resident     %7.1f MB\n", PeakMb());
  return 0;
}

}  // namespace
}  // namespace kestrix

int main(int argc, char** argv) {
  const int64_t entries = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const char* scratch = argc > 2 ? argv[2] : "/tmp";
  if (entries < 1) {
    std::fprintf(stderr, "usage: queue_load [ENTRIES] [SCRATCH_FOLDER]\n");
    return 2;
  }
  return kestrix::Run(entries, scratch);
}
