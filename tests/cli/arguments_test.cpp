#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "cli/arguments.h"
#include "cli/job_options.h"
#include "cli/progress_display.h"

namespace kestrix {
namespace {

constexpr std::array kSpecs = {
    OptionSpec{"depth", "N", ""},
    OptionSpec{"images", "", ""},
    OptionSpec{"ignore-files", "LIST", "", true},
};

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

TEST(ParseArguments, RefusesMalformedOptions) {
  const struct {
    std::vector<std::string> words;
    std::string error;
  } cases[] = {
      {{"--deep"}, "unknown option \"--deep\""},
      {{"-x"}, "unknown option \"-x\""},
      {{"--depth"}, "option \"--depth\" needs a value (N)"},
      {{"--images=1"}, "option \"--images\" takes no value"},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.words).error, c.error);
}

TEST(ParseBoundedInt, TakesOnlyWholeNumbersInRange) {
  EXPECT_EQ(ParseBoundedInt("7", 1, 10), 7);
  EXPECT_EQ(ParseBoundedInt("10", 1, 10), 10);
  for (const char* bad : {"", "0", "11", "3x", " 3", "-1", "99999999999"}) {
    EXPECT_EQ(ParseBoundedInt(bad, 1, 10), std::nullopt) << bad;
  }
}

ParsedArguments JobArgs(std::vector<std::string> words) {
  const std::array<std::span<const OptionSpec>, 4> groups = {MirrorOptionSpecs(), JobOptionSpecs(),
                                                             RunOptionSpecs(), WarcOptionSpecs()};
  ParseOutcome out = ParseArguments(words, groups);
  EXPECT_EQ(out.error, "");
  return out.arguments;
}

TEST(JobOptions, MapOntoTheJobRecordAndItsTextGivesThemBack) {
  TJobRecord job;
  ASSERT_EQ(
      ApplyJobOptions(JobArgs({"--depth", "0", "--remote-depth", "2", "--this-server",
                               "--other-servers", "--remote-path", "--images", "--remote-images",
                               "--embed", "--styles", "--scripts", "--offline", "--replicate",
                               "--link-to-url", "--no-htm-ext", "--koi8", "--record-warc"}),
                      job),
      "");
  EXPECT_EQ(job.editDepth, 0);
  EXPECT_EQ(job.EditRmtDepth, 2);
  EXPECT_FALSE(job.radioThisPath);
  EXPECT_TRUE(job.radioThisServer);
  EXPECT_TRUE(job.checkOtherServers);
  EXPECT_TRUE(job.radioRmtThisPath);
  EXPECT_FALSE(job.radioRmtThisServer);
  EXPECT_TRUE(job.checkLoadImg && job.checkRmtLoadImg && job.checkLoadEmbed && job.checkLoadStyle &&
              job.checkLoadScript && job.checkLocalize && job.checkReplicate &&
              job.checkLinkToUrl && job.lclcheckKoi8 && job.rmtcheckKoi8 && job.checkRecordWarc);
  EXPECT_FALSE(job.checkAddHtmExt);

  // `jobs` shows the options as a text that rebuilds the record.
  std::vector<std::string> words;
  std::istringstream text(JobOptionsText(job));
  for (std::string word; text >> word;) words.push_back(word);
  TJobRecord again;
  ASSERT_EQ(ApplyJobOptions(JobArgs(words), again), "") << text.str();
  EXPECT_EQ(again, job) << text.str();
  TJobRecord remoteOnly;
  remoteOnly.rmtcheckKoi8 = true;
  EXPECT_EQ(JobOptionsText(remoteOnly), "--koi8 (other servers only)");
}

TEST(JobOptions, AFilterListSwitchesItsFilterOn) {
  const struct {
    const char* option;
    bool TJobRecord::*check;
    std::string TJobRecord::*list;
  } cases[] = {
      {"--retrieve-files", &TJobRecord::lclCheckRetriveFile, &TJobRecord::lcleditRetriveFile},
      {"--ignore-files", &TJobRecord::lclCheckIgnoreFile, &TJobRecord::lcleditIgnoreFile},
      {"--retrieve-links", &TJobRecord::lclcheckRetrieveLink, &TJobRecord::lcleditRetrieveLink},
      {"--ignore-links", &TJobRecord::lclcheckIgnoreLink, &TJobRecord::lcleditIgnoreLink},
      {"--remote-retrieve-files", &TJobRecord::rmtCheckRetriveFile,
       &TJobRecord::rmteditRetrieveFile},
      {"--remote-ignore-files", &TJobRecord::rmtCheckIgnoreFile, &TJobRecord::rmteditIgnoreFile},
      {"--remote-retrieve-links", &TJobRecord::rmtcheckRetrieveLink,
       &TJobRecord::rmteditRetrieveLink},
      {"--remote-ignore-links", &TJobRecord::rmtcheckIgnoreLink, &TJobRecord::rmteditIgnoreLink},
  };
  for (const auto& c : cases) {
    TJobRecord job;
    ASSERT_EQ(ApplyJobOptions(JobArgs({c.option, "*.zip;a?c"}), job), "") << c.option;
    TJobRecord expected;
    expected.*c.check = true;
    expected.*c.list = "*.zip;a?c";
    EXPECT_EQ(job, expected) << c.option;
  }
}

TEST(JobOptions, RefusesValuesThatDoNotFit) {
  const struct {
    std::vector<std::string> words;
    std::string error;
  } cases[] = {
      {{"--depth", "x"}, "--depth needs a whole number from 0, not \"x\""},
      {{"--remote-depth", "-1"}, "--remote-depth needs a whole number from 0, not \"-1\""},
      {{"--this-path", "--this-server"}, "--this-path and --this-server exclude each other"},
      {{"--remote-path", "--remote-server"},
       "--remote-path and --remote-server exclude each other"},
      {{"--ignore-files", "a`b"}, "--ignore-files may not contain the character \"`\""},
  };
  for (const auto& c : cases) {
    TJobRecord job;
    EXPECT_EQ(ApplyJobOptions(JobArgs(c.words), job), c.error);
  }
}

// A mirror is a complete copy to browse offline unless told otherwise; the
// job stored says so in the words of the command line.
TEST(MirrorOptions, DefaultsMakeACompleteCopyAndEachSwitchesOff) {
  const struct {
    std::vector<std::string> words;
    std::string job;  // JobOptionsText, or the error
  } cases[] = {
      {{}, "--depth 1000000 --images --embed --styles --offline --replicate --link-to-url"},
      {{"--depth", "2", "--no-images", "--no-objects", "--no-replicate"},
       "--depth 2 --styles --offline --link-to-url"},
      {{"--no-styles", "--no-offline", "--no-link-to-url", "--images"},
       "--depth 1000000 --images --embed --replicate"},
      {{"--embed", "--no-objects"}, "--embed and --no-objects exclude each other"},
  };
  for (const auto& c : cases) {
    TJobRecord job = MirrorJobDefaults();
    std::string error = ApplyJobOptions(JobArgs(c.words), job);
    if (error.empty()) error = ApplyMirrorOptions(JobArgs(c.words), job);
    EXPECT_EQ(error.empty() ? JobOptionsText(job) : error, c.job);
  }
}

TEST(RunOptions, ChangeTheOptionsForTheRun) {
  TGlobalOptions options;
  ASSERT_EQ(ApplyRunOptions(JobArgs({"--threads", "8", "--folder", "/tmp/x/../dl", "--proxy",
                                     "u:pw@proxy.example:3128", "--agent", "Probe/1", "--retry",
                                     "--timeout", "20", "--no-keep-alive"}),
                            options),
            "");
  EXPECT_EQ(options.ThreadCount, 8);
  EXPECT_EQ(options.DownLoadFolder, "/tmp/dl/");
  EXPECT_TRUE(options.ProxyFlag);
  EXPECT_FALSE(options.DirectFlag);
  EXPECT_EQ(options.ProxyHost, "proxy.example");
  EXPECT_EQ(options.ProxyPort, "3128");
  EXPECT_EQ(options.ProxyUser, "u");
  EXPECT_EQ(options.ProxyPswd, "pw");
  EXPECT_EQ(options.Agent, 4);
  EXPECT_EQ(options.AnyBrowser, "Probe/1");
  EXPECT_TRUE(options.RetryFlag);
  EXPECT_EQ(options.TimeOut, 20);
  EXPECT_FALSE(options.KeepAlive);

  for (const char* threads : {"0", "11", "many"}) {
    TGlobalOptions untouched;
    EXPECT_NE(ApplyRunOptions(JobArgs({"--threads", threads}), untouched), "") << threads;
    EXPECT_EQ(untouched.ThreadCount, 1);
  }
  TGlobalOptions proxyDefaultPort;
  ASSERT_EQ(ApplyRunOptions(JobArgs({"--proxy", "cache"}), proxyDefaultPort), "");
  EXPECT_EQ(proxyDefaultPort.ProxyPort, "8080");
}

TEST(RunOptions, HowTheRunTreatsTheSites) {
  TGlobalOptions options;
  ASSERT_EQ(ApplyRunOptions(JobArgs({"--http1.0", "--ignore-robots", "--host-connections", "2",
                                     "--wait", "0.5", "--random-wait", "--limit-rate", "200K",
                                     "--load-cookies", "/c/in.txt", "--save-cookies", "out.txt",
                                     "--accept-unverified", "--ca-file", "/c/ca.pem"}),
                            options),
            "");
  EXPECT_TRUE(options.UseHttp10);
  EXPECT_FALSE(options.FollowRobots);
  EXPECT_EQ(options.PerHostConnections, 2);
  EXPECT_EQ(options.WaitMs, 500);
  EXPECT_TRUE(options.RandomWait);
  EXPECT_EQ(options.LimitRate, 200 * 1024);
  EXPECT_EQ(options.CookieImport, "/c/in.txt");
  EXPECT_TRUE(options.CookieExport.starts_with("/")) << "taken as a full path";
  EXPECT_TRUE(options.TlsAcceptUnverified);
  EXPECT_EQ(options.TlsCaFile, "/c/ca.pem");
  const struct {
    const char* option;
    const char* value;
  } refused[] = {{"--host-connections", "0"}, {"--wait", "-1"},      {"--wait", "soon"},
                 {"--limit-rate", "0"},       {"--limit-rate", "x"}, {"--load-cookies", ""}};
  for (const auto& r : refused) {
    TGlobalOptions untouched;
    EXPECT_NE(ApplyRunOptions(JobArgs({r.option, r.value}), untouched), "") << r.option << r.value;
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
  const struct {
    int64_t bytes;
    const char* text;
  } cases[] = {{999, "999 B"},
               {1000, "1.0 KB"},
               {999'949, "999.9 KB"},
               {5'250'000, "5.2 MB"},
               {3'000'000'000, "3.00 GB"}};
  for (const auto& c : cases) EXPECT_EQ(ByteText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace kestrix
