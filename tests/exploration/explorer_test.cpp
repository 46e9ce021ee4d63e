// The exploration test's driver: against nginx, the verdicts it lists, its
// steps through the tested pages and where it keeps what it fetches; against
// the scripted fault server, errors, odd replies, what a running fetch
// refuses, and the project's cookies.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "engine/cookie_file.h"
#include "engine/robots_cache.h"
#include "exploration/explorer.h"
#include "http/socket_errors.h"
#include "tests/exploration/exploration_fixture.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

constexpr char kPage[] =
    "<html><body>\n"
    "<a href=\"mailto:me@example.org\">mail</a>\n"
    "<a href=\"a.html\">a</a> <a href=\"b.html\">b</a>\n"
    "<img src=\"pic.gif\"> <img src=\"logo.png\">\n"
    "</body></html>\n";

class ExplorerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.WriteFile("index.html", kPage);
    site_.WriteFile("a.html", "<a href=\"index.html\">home</a><img src=\"pic.gif\">\n");
    site_.WriteFile("b.html", "<p>b</p>\n");
    site_.WriteFile("pic.gif", "GIF89a");
    ASSERT_TRUE(server_.Start()) << server_.Error();
  }
  std::string Url(const std::string& path) const { return server_.BaseUrl() + "/" + path; }
  // nginx logs a request just after its last byte left: wait for the log
  // to hold `atLeast` lines before counting them.
  int Requests(std::size_t atLeast) const {
    RunUntil([&] { return server_.AccessLog().size() >= atLeast; }, 3000);
    return static_cast<int>(server_.AccessLog().size());
  }

  TScratchDir site_;
  TNginxServer server_{site_.Path()};
  TExplorationRig rig_;
};

TEST_F(ExplorerTest, ReasonTextsOfTheEdgeCases) {
  struct Case {
    const char* name;
    std::function<void(TJobRecord&)> setup;
    const char* path;
    bool enabled;
    const char* message;
  };
  const auto ignoreGif = [](TJobRecord& j) {
    j.lclCheckIgnoreFile = true;
    j.lcleditIgnoreFile = "*.gif";
  };
  const auto keptRobots = [this](TJobRecord&) {
    const TRobotsCacheEntry kept{static_cast<int64_t>(std::time(nullptr)), 200,
                                 "User-agent: *\nDisallow: /b.html\n"};
    ASSERT_TRUE(SaveRobotsCache(RobotsCachePath(rig_.Options.DownLoadFolder, kTestProject, "http",
                                                "127.0.0.1", std::to_string(server_.Port())),
                                kept));
  };
  const Case cases[] = {
      {"mailto", [](TJobRecord&) {}, "mailto:me@example.org", false, "Unsupported protocol"},
      {"images off", [](TJobRecord& j) { j.checkLoadImg = false; }, "pic.gif", false,
       "Images from local server retrieval was disabled"},
      {"depth 1 anchor", [](TJobRecord& j) { j.editDepth = 1; }, "a.html", false,
       "Depth value exceed"},
      {"depth 1 image", [](TJobRecord& j) { j.editDepth = 1; }, "pic.gif", true, ""},
      {"ignore pattern", ignoreGif, "pic.gif", false, "Excluded by filter token(s): \"*.gif\""},
      {"ignore pattern spares others", ignoreGif, "logo.png", true, ""},
      // Last: the rules stay in the project folder, as a download left them.
      {"robots.txt", keptRobots, "b.html", false, "Disallowed by robots.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJobRecord job = DeepJob();
    c.setup(job);
    rig_.Start(job, Url("index.html"));
    ASSERT_TRUE(rig_.Fetch());
    const std::string url = std::string(c.path).starts_with("mailto:") ? c.path : Url(c.path);
    const TTestLink* link = rig_.Find(url);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Enabled, c.enabled);
    EXPECT_EQ(link->Message, c.message);
  }
  EXPECT_EQ(rig_.LastStatus, "5 link(s) total");
}

// Its files go below the project's test folder, never over a page the
// project downloaded before where the test's pages would go were they named
// like the download.
TEST_F(ExplorerTest, NextLevelAndBackShowCachedPagesKeptInTheTestFolder) {
  const std::string project = rig_.Options.DownLoadFolder + kTestProject + "/";
  rig_.Dir.WriteFile("dl/proj/index.html", "downloaded copy");
  rig_.Dir.WriteFile("dl/proj/a.html", "downloaded a");
  rig_.Start(DeepJob(), Url("index.html"));
  ASSERT_TRUE(rig_.Fetch());
  ASSERT_EQ(Requests(1), 1);
  ASSERT_TRUE(rig_.Test.NextLevel(Url("a.html")));
  ASSERT_TRUE(rig_.WaitDone());
  EXPECT_EQ(Requests(2), 2);
  EXPECT_EQ(rig_.Test.Current().Job.editUrl, Url("a.html"));
  EXPECT_EQ(rig_.Test.Current().Depth, 1);
  EXPECT_NE(rig_.Find(Url("pic.gif")), nullptr);

  ASSERT_TRUE(rig_.Test.Back());
  EXPECT_FALSE(rig_.Test.Running());
  EXPECT_EQ(rig_.Test.CurrentIndex(), 0);
  EXPECT_NE(rig_.Find(Url("b.html")), nullptr);
  ASSERT_TRUE(rig_.Test.NextLevel(Url("a.html")));
  EXPECT_FALSE(rig_.Test.Running());
  EXPECT_EQ(Requests(2), 2);
  EXPECT_EQ(ReadWholeFile(rig_.Test.CurrentPath()), ReadWholeFile(site_.Path() + "a.html"));
  EXPECT_EQ(ReadWholeFile(project + "index.html"), "downloaded copy");
  EXPECT_EQ(ReadWholeFile(project + "a.html"), "downloaded a");
  for (const auto& file : std::filesystem::recursive_directory_iterator(project)) {
    if (!file.is_regular_file()) continue;
    const std::string path = file.path().string();
    if (path == project + "index.html" || path == project + "a.html") continue;
    EXPECT_TRUE(path.starts_with(project + "LinkCheck/")) << path;
  }
  EXPECT_FALSE(rig_.Test.Back() && rig_.Test.Back());  // the first page has no parent
  EXPECT_FALSE(rig_.Test.NextLevel(Url("never-listed.html")));

  // Deleting all empties the test folder only, and starts over.
  ASSERT_TRUE(rig_.Test.DeleteAll());
  EXPECT_FALSE(std::filesystem::exists(project + "LinkCheck"));
  EXPECT_EQ(ReadWholeFile(project + "index.html"), "downloaded copy");
  EXPECT_EQ(rig_.Test.Entries().Count(), 1);
  EXPECT_EQ(rig_.Test.Current().ReceivedSize, 0);
  EXPECT_TRUE(rig_.Test.Links().empty());
}

TEST_F(ExplorerTest, BaseAndFormLeaveThePageAsSentInItsReplicatedFolder) {
  const std::string page =
      "<html><head><base href=\"http://127.0.0.1/other/\"></head>\r\n"
      "<form action=\"send.cgi\" method=\"post\"><input name=q></form>\r\n"
      "<a href=\"x.html#part\">x</a> <img src=\"i.gif\" srcset=\"i2.gif 2x\">\r\n"
      "<div style=\"background: url(bg.png)\"></div>\r\n";
  site_.WriteFile("deep/base.html", page);
  TJobRecord job = DeepJob();
  job.checkLocalize = job.checkReplicate = true;
  rig_.Start(job, Url("deep/base.html"));
  ASSERT_TRUE(rig_.Fetch());
  // Replicated folders stay inside the test's folder.
  const std::string folder = rig_.Test.CacheFolder();
  EXPECT_TRUE(rig_.Test.CurrentPath().starts_with(folder)) << rig_.Test.CurrentPath();
  for (int32_t i = 0; i < rig_.Test.Entries().Count(); ++i) {
    EXPECT_TRUE(rig_.Test.Entries().Entry(i).LocalFolder.starts_with(folder));
  }
  const auto joined = [this] {
    std::string text;
    for (const std::string& line : rig_.Test.Page().Lines) text += line + "\r\n";
    return text;
  };
  EXPECT_EQ(joined(), page);
  EXPECT_EQ(ReadWholeFile(rig_.Test.CurrentPath()), page);
  EXPECT_EQ(rig_.Test.HtmlText(), page);
  // The base applies to the links after it, the srcset and style links are listed too.
  EXPECT_NE(rig_.Find("http://127.0.0.1/other/x.html"), nullptr);
  EXPECT_NE(rig_.Find("http://127.0.0.1/other/i2.gif"), nullptr);
  EXPECT_NE(rig_.Find("http://127.0.0.1/other/bg.png"), nullptr);
  rig_.Test.ParseLinks();
  EXPECT_EQ(joined(), page);
}

TEST_F(ExplorerTest, FilterHidesTypesPerGrid) {
  TJobRecord job = DeepJob();
  job.checkLoadImg = false;
  rig_.Start(job, Url("index.html"));
  rig_.Test.Filter.Disabled[static_cast<int>(TLinkType::Image)] = false;
  ASSERT_TRUE(rig_.Fetch());
  EXPECT_EQ(rig_.Find(Url("pic.gif")), nullptr);
  EXPECT_NE(rig_.Find(Url("a.html")), nullptr);
  rig_.Test.Filter.Disabled[static_cast<int>(TLinkType::Image)] = true;
  rig_.Test.ParseLinks();
  EXPECT_NE(rig_.Find(Url("pic.gif")), nullptr);
}

class ExplorationFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()) << server_.Error(); }
  std::string Url(const std::string& path) const { return server_.BaseUrl() + path; }

  TFaultServer server_{
      ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/scenarios/exploration_faults.json")};
  TExplorationRig rig_;
};

// Failures list nothing (a length that is no length cannot frame a reply);
// replies without a length are parsed and, known whole once received, shown
// from the cache; other types are not parsed.
TEST_F(ExplorationFaultTest, EachReplyIsParsedOnlyWhenItIsAWholePage) {
  struct Case {
    const char* path;
    bool failed;  // an error code rather than an error status
    bool parsed;
  };
  for (const Case& c :
       {Case{"/missing", false, false}, Case{"/reset", true, false}, Case{"/short", true, false},
        Case{"/nolength", false, true}, Case{"/minus", true, false}, Case{"/binary", false, false},
        Case{"/odd-framing", true, false}, Case{"/loop", true, false}}) {
    SCOPED_TRACE(c.path);
    rig_.Start(DeepJob(), Url(c.path));
    ASSERT_TRUE(rig_.Fetch());
    EXPECT_EQ(rig_.Test.Current().ErrorCode != 0, c.failed);
    EXPECT_EQ(rig_.Test.CanParse() && !rig_.Test.Links().empty(), c.parsed);
    EXPECT_TRUE(!c.parsed || rig_.Test.InCache(0));
    if (c.path == std::string("/missing")) {
      EXPECT_EQ(rig_.Test.StatusCode(), 404);
    }
    if (c.path == std::string("/binary")) {
      EXPECT_FALSE(rig_.Test.CanParse() || !rig_.Test.Links().empty());
      EXPECT_EQ(rig_.Test.HtmlText(), "Can't view as html :\n" + rig_.Test.CurrentPath());
      EXPECT_EQ(ReadWholeFile(rig_.Test.CurrentPath()), std::string("PK\x03\x04", 4));
    }
  }
  EXPECT_EQ(rig_.Test.Current().ErrorCode, WSAELOOP);
  EXPECT_NE(rig_.LastStatus.find("Too many relocations"), std::string::npos);
}

// A site the project logged into is tested with the cookies its downloads kept.
TEST_F(ExplorationFaultTest, PagesBehindALoginAreExploredWithTheProjectsCookies) {
  const std::string jar = CookieJarPath(rig_.Options.DownLoadFolder, kTestProject);
  std::filesystem::create_directories(std::filesystem::path(jar).parent_path());
  std::ofstream(jar) << "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\ts3cr3t\n";
  rig_.Start(DeepJob(), Url("/members"));
  ASSERT_TRUE(rig_.Fetch());
  EXPECT_NE(rig_.Find(Url("/inside.html")), nullptr);
}

TEST_F(ExplorationFaultTest, DeleteAllDuringAFetchIsRefusedAndEndingAbortsIt) {
  rig_.Start(DeepJob(), Url("/hold"));
  ASSERT_TRUE(rig_.Test.GetUrl());
  ASSERT_TRUE(
      RunUntil([this] { return rig_.Test.HtmlText().find("z.html") != std::string::npos; }, 10000));
  const std::string path = rig_.Test.CurrentPath();
  EXPECT_FALSE(rig_.Test.DeleteAll());
  EXPECT_EQ(rig_.LastStatus, "Connection is open now !");
  EXPECT_TRUE(rig_.Test.Running());
  EXPECT_EQ(rig_.Test.CurrentPath(), path);
  EXPECT_FALSE(rig_.Test.GetUrl());
  EXPECT_FALSE(rig_.Test.Back());
  rig_.Test.Stop();
  ASSERT_TRUE(rig_.WaitDone());
  EXPECT_EQ(rig_.Test.Current().ErrorCode, WSAECONNABORTED);
  EXPECT_TRUE(rig_.Test.DeleteAll());

  // Ending during a fetch aborts it; what the request still posts finds nothing.
  auto rig = std::make_unique<TExplorationRig>();
  rig->Start(DeepJob(), Url("/hold"));
  ASSERT_TRUE(rig->Test.GetUrl());
  RunFor(200);
  rig.reset();
  RunFor(200);
}

}  // namespace
}  // namespace kestrix::test
