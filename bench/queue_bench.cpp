// The queue at the scale of a large site: a million distinct URLs, each
// looked up before it is appended (as link extraction does), then each looked
// up once more. Reports the time and the heap bytes per entry beyond the URL
// text, for entries that hold only their URL and for entries filled the way
// link extraction fills them.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/url_list.h"

namespace kestrix {
namespace {

constexpr int kEntries = 1000000;

std::vector<std::string> MakeUrls() {
  std::vector<std::string> urls;
  urls.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    urls.push_back("http://bench.example/section" + std::to_string(i % 97) + "/Page" +
                   std::to_string(i) + ".html");
  }
  return urls;
}

size_t HeapInUse() {
  return mallinfo2().uordblks;
}

void Run(benchmark::State& state, bool filled) {
  const std::vector<std::string> urls = MakeUrls();
  size_t urlBytes = 0;
  for (const std::string& url : urls) urlBytes += url.size();
  TJobRecord job;
  job.ProjectName = "Bench";
  job.lcleditRetriveFile = "*.htm;*.html;*.php;*.asp;*.cgi*|*.html";
  job.lcleditIgnoreFile = "*.zip;*.exe;*.iso";
  TRetriveRec entry;
  entry.Job = job;
  if (filled) {
    entry.StartUrl = "http://bench.example/index.html";
    entry.LocalFolder = "/home/user/Downloads/Bench/";
    entry.LocalFileName = "Page123456.html";
    entry.LinkedText = "Read more";
  }
  for (auto _ : state) {
    const size_t before = HeapInUse();
    const auto start = std::chrono::steady_clock::now();
    UrlList queue;
    for (const std::string& url : urls) {
      if (queue.Find(url) < 0) {
        entry.Job.editUrl = url;
        queue.Append(url, entry);
      }
    }
    int64_t found = 0;
    for (const std::string& url : urls) found += queue.Find(url) >= 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t heap = HeapInUse() - before;
    if (found != kEntries || queue.Count() != kEntries) state.SkipWithError("lost an entry");
    state.counters["seconds"] = seconds;
    state.counters["bytes_per_entry"] =
        static_cast<double>(heap - urlBytes) / static_cast<double>(kEntries);
    benchmark::DoNotOptimize(found);
  }
}

void BM_QueueMillionUrls(benchmark::State& state) {
  Run(state, false);
}
void BM_QueueMillionLinkEntries(benchmark::State& state) {
  Run(state, true);
}

BENCHMARK(BM_QueueMillionUrls)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueMillionLinkEntries)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrix
