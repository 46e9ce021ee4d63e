// The edit of the saved pages when a run ends (engine/link_pass.*), on a
// copy that kestrix-cli saved: KESTRIX_BENCH_COPY names its download folder
// (with the settings file kestrix.ini the run used beside the project) and
// KESTRIX_BENCH_PROJECT the project (default "site"). The queue comes back
// from the project's history; every tenth entry that is not a page is taken
// as failed, so about 10 % of the links lead nowhere. Each iteration works
// on the project folder as the mirror left it, put back outside the timing
// (a copy of thousands of files: three iterations each).
//
//   Known: the pages were analysed in this run, the book knows their links.
//   AfterRestart: the book is empty (a run that goes on from an earlier
//   one), so every saved page is read for its links first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/url_list.h"
#include "engine/history_file.h"
#include "engine/link_book.h"
#include "engine/link_pass.h"

namespace kestrix {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

struct TCopy {
  std::string Folder;   // the download folder, ending in "/"
  std::string Project;  // its project
  std::string Kept;     // the project folder as it was, kept aside
};

const TCopy& Copy() {
  static const TCopy copy = [] {
    TCopy c;
    c.Folder = fs::absolute(Env("KESTRIX_BENCH_COPY", ".")).string() + "/";
    c.Project = Env("KESTRIX_BENCH_PROJECT", "site");
    c.Kept = (fs::temp_directory_path() / "kestrix-link-pass-bench").string();
    fs::remove_all(c.Kept);
    fs::copy(c.Folder + c.Project, c.Kept, fs::copy_options::recursive);
    return c;
  }();
  return copy;
}

// Puts the project folder back as it was.
void Restore() {
  const TCopy& copy = Copy();
  fs::remove_all(copy.Folder + copy.Project);
  fs::copy(copy.Kept, copy.Folder + copy.Project, fs::copy_options::recursive);
}

// The queue of the copy as its history file has it (the files it names lie
// where the mirror put them, so the copy is edited in place and restored).
void Prepare(TEngineState& state, TLinkBook& book) {
  const TCopy& copy = Copy();
  Restore();
  IniFile ini(copy.Folder + "kestrix.ini");
  TJobList store(ini);
  state.ClearQueue();
  LoadHistory(copy.Folder, copy.Project, &store, state);
  book.Clear();
}

// Every tenth file that is not a page fails: gone from the disk, marked in
// the book.
void FailOneFileInTen(const TEngineState& state, TLinkBook& book) {
  int32_t files = 0;
  for (int32_t i = 0; i < state.Queue.Count(); ++i) {
    if (state.Queue.Entry(i).IsHtml || ++files % 10 != 0) continue;
    const TRetriveRec& entry = state.Queue.Entry(i);
    fs::remove(entry.LocalFolder + entry.LocalFileName);
    book.NoteOutcome(i, false, false);
  }
}

void Run(benchmark::State& bench, bool known) {
  TEngineState state;
  TLinkBook book;
  int64_t pages = 0, links = 0;
  for (auto _ : bench) {
    bench.PauseTiming();
    Prepare(state, book);
    if (known) {
      // One pass for a rename nothing links to makes the book read every
      // page, as a run's analyses would have told it.
      book.NoteRenamed(0, "/nothing");
      MendSavedLinks(state.Queue, book);
    }
    FailOneFileInTen(state, book);
    bench.ResumeTiming();
    const TLinkMending mending = MendSavedLinks(state.Queue, book);
    pages = mending.Pages;
    links = mending.Links;
  }
  bench.counters["pages_edited"] = static_cast<double>(pages);
  bench.counters["links_mended"] = static_cast<double>(links);
  Restore();
  bench.counters["entries"] = static_cast<double>(state.Queue.Count());
}

void BM_PassKnown(benchmark::State& bench) {
  Run(bench, true);
}
void BM_PassAfterRestart(benchmark::State& bench) {
  Run(bench, false);
}
BENCHMARK(BM_PassKnown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PassAfterRestart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace kestrix
