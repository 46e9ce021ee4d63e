// Parsing speed on pages shaped like those of a real site: a head with style
// sheets and scripts, a navigation bar, paragraphs of prose with inline
// anchors, images with alt texts and a list of related links.
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "links/html_parser.h"

namespace kestrix {
namespace {

const char* const kWords[] = {
    "about",  "access",  "account", "active",  "address", "archive", "balance", "border",
    "bridge", "budget",  "capital", "castle",  "channel", "chapter", "climate", "collect",
    "column", "content", "context", "corner",  "course",  "credit",  "current", "damage",
    "debate", "degree",  "design",  "detail",  "device",  "domain",  "editor",  "energy",
    "engine", "estate",  "evening", "example", "factor",  "family",  "feature", "figure",
    "filter", "finance", "flight",  "forest",  "format",  "garden",  "general", "global",
    "harbor", "health",  "history", "holiday", "image",   "island",  "journal", "kitchen",
    "ladder", "launch",  "library", "liquid",  "market",  "measure", "memory",  "method"};

class PageMaker {
 public:
  explicit PageMaker(unsigned seed) : rng_(seed) {}

  std::string Page(int index) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        << "<title>" << Words(3) << "</title>\n"
        << "<link rel=\"stylesheet\" href=\"../css/site.css\">\n"
        << "<script src=\"../js/menu.js\"></script>\n</head><body>\n"
        << "<div id=\"top\" class=\"nav\">" << Anchor() << " | " << Anchor() << " | " << Anchor()
        << "</div>\n<h1>" << Words(4) << "</h1>\n";
    const int target = std::lognormal_distribution<double>(8.99, 0.6)(rng_);
    const std::size_t size = static_cast<std::size_t>(std::clamp(target, 2000, 30000));
    while (static_cast<std::size_t>(out.tellp()) < size) {
      if (Chance(0.1)) out << "<h2 id=\"s" << index << "\">" << Words(1) << "</h2>\n";
      out << "<p>" << Words(Between(40, 120)) << ".";
      if (Chance(0.6)) out << " See " << Anchor() << ".";
      if (Chance(0.2)) out << " Also &amp; more &nbsp;here.";
      out << "</p>\n";
      if (Chance(0.3)) {
        out << "<p><img src=\"../img/pic-" << Between(1, 500) << ".png\" alt=\"" << Words(1)
            << "\" width=\"" << Between(8, 72) << "\" height=\"" << Between(8, 72) << "\"></p>\n";
      }
    }
    out << "<ul class=\"related\">\n";
    for (int i = Between(3, 12); i > 0; --i) out << "<li>" << Anchor() << "</li>\n";
    out << "</ul>\n</body></html>\n";
    return out.str();
  }

 private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::string Words(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
      if (i) s += ' ';
      s += kWords[Between(0, std::size(kWords) - 1)];
    }
    return s;
  }
  std::string Anchor() {
    std::string href = Chance(0.5) ? "../" : "";
    href += std::string(kWords[Between(0, std::size(kWords) - 1)]) + "-" +
            std::to_string(Between(1, 999)) + ".html";
    if (Chance(0.12)) href += "#s" + std::to_string(Between(1, 3));
    return "<a href=\"" + href + "\">" + Words(Between(1, 3)) + "</a>";
  }

  std::mt19937 rng_;
};

struct Site {
  std::vector<std::vector<std::string>> pages;  // each page as its lines
  std::size_t bytes = 0;
};

const Site& MakeSite() {
  static const Site site = [] {
    Site s;
    PageMaker maker(20240601);
    for (int i = 0; i < 300; ++i) {
      std::istringstream in(maker.Page(i));
      std::vector<std::string>& lines = s.pages.emplace_back();
      for (std::string line; std::getline(in, line);) {
        s.bytes += line.size() + 1;
        lines.push_back(std::move(line));
      }
    }
    return s;
  }();
  return site;
}

void ParseSite(benchmark::State& state, uint16_t kept) {
  Site site = MakeSite();
  THTMLParser parser;
  std::size_t items = 0;
  for (auto _ : state) {
    for (std::vector<std::string>& page : site.pages) {
      parser.Clear();
      parser.KeptKinds = kept;
      parser.Lines = &page;
      parser.Parse();
      items += parser.Items.size();
    }
  }
  benchmark::DoNotOptimize(items);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * site.bytes));
  state.counters["pages"] = static_cast<double>(site.pages.size());
  state.counters["items/page"] =
      static_cast<double>(items) / static_cast<double>(state.iterations() * site.pages.size());
}

// The kinds a download keeps: frames, inline frames, anchors and images.
void BM_ParseDownloaderKinds(benchmark::State& state) {
  ParseSite(state, kKeepFrame | kKeepIFrame | kKeepA | kKeepImg);
}
BENCHMARK(BM_ParseDownloaderKinds)->Unit(benchmark::kMillisecond);

// Everything, texts included, as the exploration test asks.
void BM_ParseAllKindsAndTexts(benchmark::State& state) {
  ParseSite(state, kKeepAll | kKeepTexts);
}
BENCHMARK(BM_ParseAllKindsAndTexts)->Unit(benchmark::kMillisecond);

// Hostile one-line pages, each made of one short piece repeated to the size
// asked. Parsing time must grow with the size, not with its square: the
// complexity fit printed after each family says which it is.
void ParseRepeated(benchmark::State& state, const std::string& piece,
                   const std::string& start = "") {
  std::vector<std::string> page(1, start);
  while (page[0].size() < static_cast<std::size_t>(state.range(0))) page[0] += piece;
  THTMLParser parser;
  for (auto _ : state) {
    parser.Clear();
    parser.KeptKinds = kKeepAll | kKeepTexts;
    parser.Lines = &page;
    parser.Parse();
    benchmark::DoNotOptimize(parser.Items.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page[0].size()));
  state.SetComplexityN(state.range(0));
}

// A blank run between dropped tags waits to be joined with what follows;
// it must not be looked through again at every "<".
void BM_HostileBlankRuns(benchmark::State& state) {
  ParseRepeated(state, " <b> <i>\t");
}
BENCHMARK(BM_HostileBlankRuns)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity();

// One text run full of references, each replaced as the text is decoded.
void BM_HostileReferences(benchmark::State& state) {
  ParseRepeated(state, "x&amp;y&#65;&lt");
}
BENCHMARK(BM_HostileReferences)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity();

// "&" with no ";" or blank to end it anywhere after.
void BM_HostileUnendedReferences(benchmark::State& state) {
  ParseRepeated(state, "&a&#1");
}
BENCHMARK(BM_HostileUnendedReferences)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity();

// A tag that never ends, with attributes all the way.
void BM_HostileEndlessTag(benchmark::State& state) {
  ParseRepeated(state, " href=\"a.html\" data-src=x", "<a");
}
BENCHMARK(BM_HostileEndlessTag)->RangeMultiplier(4)->Range(1 << 14, 1 << 20)->Complexity();

}  // namespace
}  // namespace kestrix
