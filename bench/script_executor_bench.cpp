// How long the hidden browser takes to resolve script links: one link once
// its page is loaded (the figure that matters, one per script link), loading
// a page, and starting the engine for the first page of a run.
#include "browser/script_executor.h"
#include "browser/web_engine_setup.h"
#include "core/offline_state.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace kestrix {
namespace {

std::string SamplePage(int links) {
  std::string page =
      "<html><head><script>function go(n) { location.href = 'page' + n + '.htm'; }"
      "function pop(n) { window.open('pop' + n + '.htm', 'w'); }</script></head><body>"
      "<form name='f' action='search.cgi' method='post'>"
      "<input type='text' name='q' value='a b'><input type='hidden' name='p' value='1'>"
      "</form>";
  for (int i = 0; i < links; ++i) {
    const std::string n = std::to_string(i);
    page += "<p>Paragraph " + n + " with some text to parse.</p><a href='javascript:go(" + n +
            ")'>go " + n + "</a> <a href='#' onclick='pop(" + n + ")'>pop</a>\n";
  }
  return page + "</body></html>";
}

void BM_ResolveOneLink(benchmark::State& state) {
  OfflineState offline;
  TScriptExecutor executor(offline, nullptr);
  executor.LoadPage(SamplePage(200));
  const char* codes[] = {"go(7)", "pop(9)", "document.forms[0].submit()"};
  const char* code = codes[state.range(0)];
  for (auto _ : state) {
    if (!executor.RunScript(code)) state.SkipWithError("nothing captured");
    benchmark::DoNotOptimize(executor.Result().Url.data());
  }
  state.SetLabel(executor.Result().Url);
}
BENCHMARK(BM_ResolveOneLink)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_LoadPage(benchmark::State& state) {
  OfflineState offline;
  TScriptExecutor executor(offline, nullptr);
  const std::string page = SamplePage(static_cast<int>(state.range(0)));
  for (auto _ : state) executor.LoadPage(page);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_LoadPage)->Arg(10)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_StartEngineAndLoad(benchmark::State& state) {
  OfflineState offline;
  const std::string page = SamplePage(10);
  for (auto _ : state) {
    TScriptExecutor executor(offline, nullptr);
    executor.LoadPage(page);
  }
}
BENCHMARK(BM_StartEngineAndLoad)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrix

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  kestrix::PrepareWebEngine();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
