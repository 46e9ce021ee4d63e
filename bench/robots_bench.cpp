// robots.txt rules at the scale sites hand them out: reading a file and
// deciding one URL, for a typical file of a large site and for files a
// site can send within the size bound to make every decision scan a long
// path once per rule. Each URL a crawl queues is decided once, so the time
// per decision bounds what robots.txt can add to a crawl.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/robots_rules.h"

namespace kestrix {
namespace {

// About 200 rules in a few groups, as large news and shop sites publish.
std::string TypicalFile() {
  std::string text = "# robots\nUser-agent: otherbot\nDisallow: /\n\nUser-agent: *\n";
  for (int i = 0; i < 200; ++i) {
    text += (i % 5 == 0 ? "Allow: /section" : "Disallow: /section") + std::to_string(i) +
            (i % 3 == 0 ? "/*?sort=*$\n" : "/private/\n");
  }
  return text + "Crawl-delay: 1\nSitemap: https://example.test/sitemap.xml\n";
}

// The whole bound in distinct rules that no decision can skip: each starts
// with a star and never matches the path below, but its first letter is
// found at every place of it.
std::string HostileFile() {
  std::string text = "User-agent: *\n";
  for (int i = 0; text.size() < kMaxRobotsBytes - 64; ++i) {
    std::string tail;
    for (int n = i; n > 0 || tail.empty(); n /= 25) tail += static_cast<char>('b' + n % 25);
    text += "Disallow: /*a" + tail + "\n";
  }
  return text;
}

// A long path of the same letter: every piece is found at every place.
const std::string kLongPath = "/" + std::string(2040, 'a');

// Worse still for the check above: a path of two letters holding every pair
// of them but never three "a" in a row, and rules of the bound that are
// strings of those letters with three "a" in a row, so none matches.
std::string TwoLetterPath() {
  std::string path = "/";
  for (uint32_t x = 12345; path.size() < 2041;) {
    x = x * 1103515245 + 12345;
    path += (x >> 16) & 1 && !path.ends_with("aa") ? 'a' : 'b';
  }
  return path;
}

std::string TwoLetterFile() {
  std::string text = "User-agent: *\n";
  for (int i = 0; i < 1 << 14 && text.size() < kMaxRobotsBytes - 64; ++i) {
    std::string piece = "aaa";
    for (int bit = 0; bit < 14; ++bit) piece += (i >> bit) & 1 ? 'a' : 'b';
    text += "Disallow: /*" + piece + "\n";
  }
  return text;
}

void BM_ParseTypical(benchmark::State& state) {
  const std::string text = TypicalFile();
  for (auto _ : state) benchmark::DoNotOptimize(TRobotsRules::Parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_DecideTypical(benchmark::State& state) {
  const TRobotsRules rules = TRobotsRules::Parse(TypicalFile());
  int i = 0;
  const std::string paths[] = {"/section42/private/page.html", "/section15/list?sort=price",
                               "/about/team.html", "/section199/a/b/c/d/e/f?x=1"};
  for (auto _ : state) benchmark::DoNotOptimize(rules.Allowed(paths[i++ % 4]));
}

void BM_ParseHostile(benchmark::State& state) {
  const std::string text = HostileFile();
  for (auto _ : state) benchmark::DoNotOptimize(TRobotsRules::Parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_DecideHostile(benchmark::State& state) {
  const TRobotsRules rules = TRobotsRules::Parse(HostileFile());
  for (auto _ : state) benchmark::DoNotOptimize(rules.Allowed(kLongPath));
}

void BM_DecideTwoLetters(benchmark::State& state) {
  const TRobotsRules rules = TRobotsRules::Parse(TwoLetterFile());
  const std::string path = TwoLetterPath();
  for (auto _ : state) benchmark::DoNotOptimize(rules.Allowed(path));
}

BENCHMARK(BM_ParseTypical);
BENCHMARK(BM_DecideTypical);
BENCHMARK(BM_ParseHostile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecideHostile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecideTwoLetters)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrix
