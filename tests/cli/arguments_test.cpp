#include <gtest/gtest.h>

#include <array>
#include <iomanip>
#include <sstream>

#include "cli/arguments.h"
#include "cli/job_options.h"
#include "cli/progress_display.h"
#include "core/ini_file.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

constexpr std::array kSpecs = {
    OptionSpec{"depth", "N", ""},
    OptionSpec{"images", "", ""},
    OptionSpec{"ignore-files", "LIST", "", true},
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> std::quoted(word);) words.push_back(word);
  return words;
}

ParseOutcome Parse(std::vector<std::string> words) {
  const std::array<std::span<const OptionSpec>, 1> groups = {kSpecs};
  return ParseArguments(words, groups);
}

TEST(ParseArguments, AcceptsTheUsualForms) {
  ParseOutcome out = Parse({"p", "--depth", "3", "--images", "q", "--", "--images"});
  ASSERT_EQ(out.error, "");
  EXPECT_EQ(out.arguments.positional, (std::vector<std::string>{"p", "q", "--images"}));
  EXPECT_EQ(out.arguments.Value("depth"), "3");
  EXPECT_TRUE(out.arguments.Has("images"));
  EXPECT_FALSE(out.arguments.help);

  out = Parse({"--depth=4", "--depth=5", "-h"});
  EXPECT_EQ(out.arguments.Value("depth"), "5") << "the last one counts";
  EXPECT_TRUE(out.arguments.help);
  // A lone "-" is a word, not an option (a file or project may be called so).
  EXPECT_EQ(Parse({"-"}).arguments.positional, (std::vector<std::string>{"-"}));
  // Lists given twice are joined.
  out = Parse({"--ignore-files", "*.zip", "--ignore-files=*.iso"});
  EXPECT_EQ(out.arguments.Value("ignore-files"), "*.zip;*.iso");
}

// The "refused" and "bounded" rows of tests/fixtures/cli/arguments.txt.
TEST(ParseArguments, RefusesMalformedOptionsAndNumbersOutOfRange) {
  const auto refused = test::ReadRows("cli/arguments.txt", "refused");
  const auto bounded = test::ReadRows("cli/arguments.txt", "bounded");
  ASSERT_GE(refused.size() + bounded.size(), 13u);
  for (const auto& r : refused) EXPECT_EQ(Parse(Words(r[0])).error, r[1]) << r[0];
  for (const auto& r : bounded) {
    const std::optional<int> value = ParseBoundedInt(r[0], 1, 10);
    EXPECT_EQ(value ? std::to_string(*value) : "-", r[1]) << "'" << r[0] << "'";
  }
}

ParsedArguments JobArgs(std::vector<std::string> words) {
  const std::array<std::span<const OptionSpec>, 4> groups = {MirrorOptionSpecs(), JobOptionSpecs(),
                                                             RunOptionSpecs(), WarcOptionSpecs()};
  ParseOutcome out = ParseArguments(words, groups);
  EXPECT_EQ(out.error, "");
  return out.arguments;
}

// tests/fixtures/cli/job_options.txt.
TEST(JobOptions, MapOntoTheJobRecordAndItsTextGivesThemBack) {
  const auto rows = test::ReadRows("cli/job_options.txt");
  ASSERT_GE(rows.size(), 18u);
  for (const auto& row : rows) {
    const bool mirror = row[0] == "mirror";
    TJobRecord job = mirror ? MirrorJobDefaults() : TJobRecord();
    std::string error = ApplyJobOptions(JobArgs(Words(row[1])), job);
    if (error.empty() && mirror) error = ApplyMirrorOptions(JobArgs(Words(row[1])), job);
    EXPECT_EQ(error.empty() ? JobOptionsText(job) : error, row[2]) << row[1];
    if (!error.empty()) continue;
    // The stored record, written apart from the option tables: a switch
    // mapped onto the wrong field shows here.
    if (row.size() > 3) {
      EXPECT_EQ(JobRecordToText(job), row[3]) << row[1];
    }
    // `jobs` shows the options as a text that rebuilds the record.
    TJobRecord again;
    ASSERT_EQ(ApplyJobOptions(JobArgs(Words(JobOptionsText(job))), again), "") << row[1];
    EXPECT_EQ(again, job) << JobOptionsText(job);
  }
  TJobRecord remoteOnly;
  remoteOnly.rmtcheckKoi8 = true;
  EXPECT_EQ(JobOptionsText(remoteOnly), "--koi8 (other servers only)");
}

TEST(RunOptions, ChangeTheOptionsForTheRun) {
  TGlobalOptions options;
  ASSERT_EQ(ApplyRunOptions(JobArgs(Words("--threads 8 --folder /tmp/x/../dl --proxy "
                                          "u:pw@proxy.example:3128 --agent Probe/1 --retry "
                                          "--timeout 20 --no-keep-alive --http1.0 --ignore-robots "
                                          "--host-connections 2 --wait 0.5 --random-wait "
                                          "--limit-rate 200K --load-cookies /c/in.txt "
                                          "--save-cookies out.txt --accept-unverified "
                                          "--ca-file /c/ca.pem")),
                            options),
            "");
  // In the words of the settings file (which the run leaves as it was).
  IniDocument doc;
  ASSERT_TRUE(WriteOptions(doc, options));
  const std::string text = doc.ToText();
  for (const char* line :
       {"ThreadCount=8", "DownLoadFolder=/tmp/dl/", "ProxyFlag=1", "DirectFlag=0",
        "ProxyHost=proxy.example", "ProxyPort=3128", "ProxyUser=u", "Agent=4", "AnyBrowser=Probe/1",
        "RetryFlag=1", "TimeOut=20", "KeepAlive=0", "UseHttp10=1", "FollowRobots=0",
        "PerHostConnections=2", "WaitMs=500", "TlsAcceptUnverified=1", "TlsCaFile=/c/ca.pem"}) {
    EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line;
  }
  EXPECT_EQ(options.ProxyPswd, "pw");
  EXPECT_TRUE(options.RandomWait);
  EXPECT_EQ(options.LimitRate, 200 * 1024);
  EXPECT_EQ(options.CookieImport, "/c/in.txt");
  EXPECT_TRUE(options.CookieExport.starts_with("/")) << "taken as a full path";

  TGlobalOptions proxyDefaultPort;
  ASSERT_EQ(ApplyRunOptions(JobArgs({"--proxy", "cache"}), proxyDefaultPort), "");
  EXPECT_EQ(proxyDefaultPort.ProxyPort, "8080");
  const std::pair<const char*, const char*> refused[] = {
      {"--threads", "0"},    {"--threads", "11"},         {"--threads", "many"},
      {"--wait", "-1"},      {"--host-connections", "0"}, {"--wait", "soon"},
      {"--limit-rate", "0"}, {"--limit-rate", "x"},       {"--load-cookies", ""}};
  for (const auto& [option, value] : refused) {
    TGlobalOptions untouched;
    EXPECT_NE(ApplyRunOptions(JobArgs({option, value}), untouched), "") << option << value;
    EXPECT_EQ(untouched, TGlobalOptions()) << option << value;
  }
}

TEST(RunOptions, WebArchiveOfTheRun) {
  TWarcRunRequest warc;
  ASSERT_EQ(
      ApplyWarcOptions(JobArgs({"--warc", "/tmp/x/../a.warc.gz", "--warc-max-size", "100M"}), warc),
      "");
  EXPECT_TRUE(warc.Record);
  EXPECT_EQ(warc.Path, "/tmp/a.warc.gz");
  EXPECT_EQ(warc.MaxFileSize, 100u << 20);
  for (const char* size : {"0", "big"}) {
    EXPECT_NE(ApplyWarcOptions(JobArgs({"--warc-max-size", size}), warc), "") << size;
  }
  EXPECT_NE(ApplyWarcOptions(JobArgs({"--warc", ""}), warc), "");
}

TEST(Progress, LineAndByteTexts) {
  EXPECT_EQ(ProgressLine({12, 40, 1'300'000, 250'400, 3, 8}),
            "12 done, 28 queued, 1.3 MB, 250.4 KB/s, 3/8 workers busy");
  const auto rows = test::ReadRows("cli/arguments.txt", "bytes");
  ASSERT_GE(rows.size(), 5u);
  for (const auto& r : rows) EXPECT_EQ(ByteText(std::stoll(r[0])), r[1]) << r[0];
}

}  // namespace
}  // namespace kestrix
