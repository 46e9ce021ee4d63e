// kestrix-cli recording its runs in web archives, judged by the standard
// reader: mirrors of the sample site and of a generated one through nginx
// (its compressed replies come in chunks), `warc-list`, an archive that
// cannot be made, and a download stopped by Ctrl-C that `aborted` completes.
#include <signal.h>
#include <stdio.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"
#include "tests/warc/standard_reader.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A site for stopping a run inside a large body: start.html links to
// slow/big.bin (returned), which nginx given kSlowSiteNginx sends at 20 KB/s
// unless a range is asked for (a resumed part comes at once).
const char kSlowSiteNginx[] =
    "location /slow/ { if ($http_range = \"\") { set $limit_rate 20k; } }";
std::string WriteSlowSite(TScratchDir& site) {
  std::string big(300'000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  site.WriteFile("slow/big.bin", big);
  site.WriteFile("start.html", "<a href=\"slow/big.bin\">big</a>\n");
  return big;
}

// Every record reads back with its digests right.
std::vector<TReadRecord> ReadWhole(const std::string& warc) {
  std::string error;
  std::vector<TReadRecord> records = ReadWithStandardReader(warc, error);
  EXPECT_EQ(error, "") << warc;
  EXPECT_FALSE(records.empty()) << warc;
  for (const TReadRecord& record : records) {
    EXPECT_EQ(record.block, "ok") << record.type << " " << record.uri;
    if (record.type == "response") {
      EXPECT_EQ(record.payload, "ok") << record.uri;
    }
  }
  return records;
}

std::set<std::string> ArchivesIn(const std::string& folder) {
  std::set<std::string> found;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.path().string().ends_with(".warc.gz")) found.insert(item.path().string());
  }
  return found;
}

// The archive's records as plain text (their gzip members undone).
std::string Unzipped(const std::string& warc) {
  std::string text;
  FILE* pipe = popen(("gzip -dc '" + warc + "'").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[65536];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  pclose(pipe);
  return text;
}

bool IsHtml(const std::string& path) {
  return path.ends_with(".html") || path.ends_with(".htm");
}

TEST(CliWarc, MirrorsAreRecordedAsTheServerSentThem) {
  if (const std::string missing = StandardReaderMissing(); !missing.empty())
    GTEST_SKIP() << missing;
  TScratchDir generated;
  const struct {
    const char* name;
    std::string root;
  } sites[] = {{"sample", KESTRIX_SOURCE_DIR "/samples/site/"},
               {"generated", generated.Path() + "www/"}};
  for (const auto& site : sites) {
    SCOPED_TRACE(site.name);
    TNginxServer nginx(site.root, "gzip on; gzip_min_length 0; gzip_types text/css;");
    ASSERT_TRUE(nginx.Start()) << nginx.Error();
    if (site.root != sites[0].root) {
      const std::string command = "python3 '" KESTRIX_SOURCE_DIR
                                  "/bench/gen-site.py' --pages 40 "
                                  "--port " +
                                  std::to_string(nginx.Port()) + " --port2 9 '" + generated.Path() +
                                  "' > /dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0);
    }
    TCliRunner cli;
    const std::string warc = cli.Folder() + "out/site.warc.gz";
    TCliResult r = cli.Run(
        {"mirror", nginx.BaseUrl() + "/", "--project", "P", "--threads", "3", "--warc", warc});
    ASSERT_TRUE(r.ExitCode == 0 || r.ExitCode == 5) << r.Out << r.Err;
    EXPECT_THAT(r.Out, HasSubstr("Web archive: " + warc + "\n"));
    const std::vector<TReadRecord> records = ReadWhole(warc);
    ASSERT_EQ(records.front().type, "warcinfo");
    int responses = 0, requests = 0, pages = 0;
    for (const TReadRecord& record : records) {
      requests += record.type == "request";
      if (record.type != "response") continue;
      ++responses;
      // A query names the same file to nginx.
      std::string path = record.uri.substr(nginx.BaseUrl().size() + 1);
      path = path.substr(0, path.find('?'));
      if (path.empty() || path.ends_with("/")) path += "index.html";
      if (record.status == "200" && IsHtml(path)) {
        ++pages;
        EXPECT_EQ(record.content, Sha1Hex(ReadWholeFile(site.root + path))) << path;
      }
    }
    EXPECT_EQ(requests, responses);
    EXPECT_EQ(nginx.AccessLog(static_cast<size_t>(responses)).size(),
              static_cast<size_t>(responses));
    int saved = 0;
    for (const std::string& path : SavedFiles(cli.DownloadFolder() + "P")) saved += IsHtml(path);
    EXPECT_EQ(pages, saved);
    EXPECT_GT(pages, 10);
    // The pages came compressed and in chunks, as the wire had them.
    const std::string text = Unzipped(warc);
    EXPECT_THAT(text, HasSubstr("\r\nContent-Encoding: gzip\r\n"));
    EXPECT_THAT(text, HasSubstr("\r\nTransfer-Encoding: chunked\r\n"));
    EXPECT_TRUE(fs::exists(cli.Folder() + "out/site.cdxj"));
    if (site.root != sites[0].root) continue;

    r = cli.Run({"warc-list", warc});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), static_cast<long>(records.size()));
    EXPECT_THAT(r.Out, ::testing::StartsWith("warcinfo\t-\t-\t"));
    EXPECT_THAT(r.Out, ::testing::ContainsRegex("\nresponse\t" + nginx.BaseUrl() +
                                                "/about\\.html\t200\t[0-9]+\n"));
    for (const std::string& other : {site.root + "index.html", cli.Folder() + "none"}) {
      r = cli.Run({"warc-list", other});
      EXPECT_EQ(r.ExitCode, 1) << other;
      EXPECT_THAT(r.Err, ::testing::ContainsRegex("is not a web archive|cannot be read"));
    }
    // An archive that cannot be made is said, and the run is no success.
    std::ofstream(cli.Folder() + "plain") << "x";
    r = cli.Run({"mirror", nginx.BaseUrl() + "/about.html", "--project", "Q", "--depth", "0",
                 "--warc", cli.Folder() + "plain/a.warc.gz"});
    EXPECT_EQ(r.ExitCode, 1) << r.Out;
    EXPECT_THAT(r.Err, HasSubstr("Web archive " + cli.Folder() + "plain/"));
    EXPECT_THAT(r.Err, HasSubstr("could not be created"));
  }
}

// Stopped by Ctrl-C: exit 3, the history saved and the web archive cut
// after whole records; `aborted` completes the copy, resuming the partial
// file, and records into an archive of its own, leaving the first as it was.
// (A stop by a limit of the run is the engine's, proved there.)
TEST(CliWarc, AStoppedRunExitsThreeAndAbortedCompletesCopyAndArchive) {
  if (const std::string missing = StandardReaderMissing(); !missing.empty())
    GTEST_SKIP() << missing;
  TScratchDir site;
  const std::string big = WriteSlowSite(site);
  TNginxServer nginx(site.Path(), kSlowSiteNginx);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TCliRunner cli;
  // The job records: its runs name their archives after the project and the time.
  pid_t pid = cli.Start({"mirror", nginx.BaseUrl() + "/start.html", "--project", "Slow", "--depth",
                         "2", "--record-warc"});
  ASSERT_GT(pid, 0);
  const std::string folder = cli.DownloadFolder() + "Slow/";
  std::string partial;
  for (int tries = 0; tries < 200 && partial.empty(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const std::string& path : SavedFiles(folder)) {
      if (path.ends_with("big.bin") && fs::file_size(folder + path) > 0) partial = folder + path;
    }
  }
  ASSERT_FALSE(partial.empty()) << "the slow file never started";
  kill(pid, SIGINT);
  TCliResult r = cli.Finish(pid, 15000);
  ASSERT_EQ(r.ExitCode, 3) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Stopped: 1 of 2 entries"));
  EXPECT_THAT(r.Out, HasSubstr("(stopped by the user) ('kestrix-cli aborted Slow' goes on)"));
  ASSERT_TRUE(fs::exists(folder + "Slow.his")) << "no history after the stop";
  const auto cut = fs::file_size(partial);
  EXPECT_LT(cut, big.size());
  EXPECT_THAT(cli.Run({"queue", "Slow"}).Out,
              ::testing::ContainsRegex("/slow/big\\.bin\tbig\t\\([0-9]+%\\)  300000\t"));
  const std::set<std::string> first = ArchivesIn(folder);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_THAT(*first.begin(), ::testing::MatchesRegex(".*/Slow-[0-9]{14}\\.warc\\.gz"));
  const std::string firstBytes = ReadWholeFile(*first.begin());

  r = cli.Run({"aborted", "Slow"});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Finished: 2 of 2 entries"));
  EXPECT_EQ(ReadWholeFile(partial), big);
  EXPECT_EQ(CountWith(nginx.AccessLog(),
                      "206 " + std::to_string(big.size() - cut) + " GET /slow/big.bin"),
            1)
      << "the partial file was not resumed";
  std::set<std::string> second = ArchivesIn(folder);
  ASSERT_EQ(second.size(), 2u);
  second.erase(*first.begin());
  EXPECT_EQ(ReadWholeFile(*first.begin()), firstBytes);
  EXPECT_THAT(r.Out, HasSubstr("Web archive: " + *second.begin() + "\n"));
  const std::string bigUrl = nginx.BaseUrl() + "/slow/big.bin";
  for (const auto& [file, status] :
       {std::pair{*first.begin(), "200"}, std::pair{*second.begin(), "206"}}) {
    const std::vector<TReadRecord> records = ReadWhole(file);
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const TReadRecord& record) {
      return record.type == "response" && record.uri == bigUrl && record.status == status;
    })) << file;
    EXPECT_FALSE(fs::exists(file.substr(0, file.size() - 8) + ".cdxj.part")) << file;
  }
}

}  // namespace
}  // namespace kestrix::test
