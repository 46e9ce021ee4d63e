// Naming the files of a large site: with every file in the project folder, a
// site of 10^5 directories gives 10^5 documents all called "index.html".
#include <benchmark/benchmark.h>

#include <string>

#include "core/used_names.h"
#include "links/local_naming.h"

namespace kestrix {
namespace {

void BM_NameSiteInOneFolder(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  for (auto _ : state) {
    UsedNames used;
    for (int i = 0; i < files; ++i) {
      const std::string url = "http://h/d" + std::to_string(i) + (i % 2 ? "/" : "/page.html");
      const std::string dir = LocalDir(url, "/dl/", "P", false);
      benchmark::DoNotOptimize(MakeLocalFileName(url, dir, "", used, true, "index.html"));
    }
  }
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_NameSiteInOneFolder)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NameSiteReplicated(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  for (auto _ : state) {
    UsedNames used;
    for (int i = 0; i < files; ++i) {
      const std::string url = "http://h/s" + std::to_string(i % 97) + "/d" + std::to_string(i) +
                              "/p%20" + std::to_string(i % 13) +
                              ".html?id=" + std::to_string(i % 7);
      const std::string dir = LocalDir(url, "/dl/", "P", true);
      benchmark::DoNotOptimize(MakeLocalFileName(url, dir, "", used, true, "index.html"));
    }
  }
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_NameSiteReplicated)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrix
