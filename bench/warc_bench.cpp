// Writing a web archive: one exchange with a large reply body fed to the
// recorder in the 8 KiB pieces a socket hands over, then ended, which
// compresses it into the archive. Bytes per second count the reply once.
// Arguments: the compression level, and the body: 0 HTML-like text, 1
// random bytes sent as application/octet-stream (compressed like text), 2
// random bytes sent as image/jpeg (stored, as compressed media are).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include "warc/warc_recorder.h"

namespace kestrix {
namespace {

constexpr std::size_t kBody = 256 * 1024 * 1024;
constexpr std::size_t kPiece = 8192;

std::string MakeBody(bool text) {
  std::mt19937 random(42);
  std::string body;
  body.reserve(kBody);
  if (text) {
    while (body.size() < kBody) {
      body += "<p class=\"item\">Entry " + std::to_string(random() % 100000) +
              " of the listing, with a <a href=\"/page" + std::to_string(random() % 5000) +
              ".html\">link</a>.</p>\n";
    }
    body.resize(kBody);
  } else {
    body.resize(kBody);
    for (char& c : body) c = static_cast<char>(random());
  }
  return body;
}

void WriteLargeBody(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const int kind = static_cast<int>(state.range(1));
  const std::string body = MakeBody(kind == 0);
  const char* type = kind == 0   ? "text/html"
                     : kind == 1 ? "application/octet-stream"
                                 : "image/jpeg";
  std::string folder = (std::filesystem::temp_directory_path() / "kestrix-warc-bench-XXXXXX");
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) +
                             "\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n";
  int run = 0;
  for (auto _ : state) {
    TWarcSettings settings;
    settings.folder = folder;
    settings.baseName = "bench-" + std::to_string(run++);
    settings.compressionLevel = level;
    TWarcRecorder recorder(settings);
    recorder.Open();
    const auto id = recorder.BeginExchange("http://bench.example/big", {});
    recorder.RequestBytes(id, "GET /big HTTP/1.1\r\nHost: bench.example\r\n\r\n");
    recorder.ReplyBytes(id, header);
    for (std::size_t at = 0; at < body.size(); at += kPiece) {
      recorder.ReplyBytes(id, std::string_view(body).substr(at, kPiece));
    }
    recorder.EndExchange(id, TExchangeEnd::Complete);
    recorder.Close();
    state.counters["archive MB"] =
        static_cast<double>(std::filesystem::file_size(recorder.Files()[0])) / 1e6;
    std::filesystem::remove(recorder.Files()[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
  std::filesystem::remove_all(folder);
}

BENCHMARK(WriteLargeBody)
    ->ArgsProduct({{1, 6}, {0, 1, 2}})
    ->ArgNames({"level", "body"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace
}  // namespace kestrix
