// Any bytes as a history file: loading must never crash or allocate beyond
// the file's size, every entry it keeps must be complete, the counters must
// stay within the queue, and what it kept must save and load back the same.
#include <string>
#include <string_view>

#include "core/ini_file.h"
#include "core/job_list.h"
#include "engine/history_file.h"
#include "tests/fuzz/fuzz_entry.h"

constexpr std::size_t kSmallestEntry = 68;

KESTRIX_FUZZ_TARGET(1 << 16, bytes) {
  static IniFile ini("/nonexistent/kestrix-fuzz.ini");
  static TJobList store(ini, IniDocument());

  TEngineState state;
  const THistoryLoad loaded = DecodeHistory(bytes, "P", "/dl/P/", store, state);
  Check(loaded.Entries == state.Queue.Count());
  // Nothing kept may name a file outside the project folder.
  for (int32_t i = 0; i < state.Queue.Count(); ++i) {
    const std::string& folder = state.Queue.Entry(i).LocalFolder;
    Check(folder.empty() ||
          (folder.starts_with("/dl/P/") && folder.find("/../") == std::string::npos));
  }
  Check(static_cast<std::size_t>(loaded.Entries) * kSmallestEntry <= bytes.size());
  Check(state.NextIndex >= 0 && state.NextIndex <= state.Queue.Count());
  Check(state.ProcessedCount >= 0 && state.ProcessedCount <= state.Queue.Count());

  const std::string saved = EncodeHistory(state);
  TEngineState again;
  const THistoryLoad reloaded = DecodeHistory(saved, "P", "/dl/P/", store, again);
  Check(reloaded.Complete && reloaded.Entries == loaded.Entries);
  Check(EncodeHistory(again) == saved);
}
