// How the engine treats the sites it copies, against our fault server: a
// login's cookies carry to the members' pages, robots.txt keeps what it
// disallows unfetched, and requests to one host are limited, spaced and
// held back as a busy server asks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "core/file_util.h"
#include "engine/cookie_file.h"
#include "engine/fetch_limits.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

class SiteMannersTest : public TScenarioCrawlTest {
 protected:
  static void SetUpTestSuite() {
    if (!Serve(ScenarioFile("site_manners.json"))) GTEST_SKIP() << server_->Error();
  }

  static std::unique_ptr<TEngineHarness> Engine(const std::string& path, int threads = 1) {
    return TScenarioCrawlTest::Engine(path, threads, [](TJobRecord& job) {
      job.editDepth = 2;
      job.checkLocalize = false;
    });
  }

  // The requests since the log held `from` of them, for paths starting
  // with `prefix`.
  static std::vector<TRecordedRequest> Since(size_t from, const std::string& prefix) {
    return Requests("GET " + prefix, from);
  }

  static std::string Saved(TEngineHarness& engine, const std::string& url) {
    const int32_t index = engine.Queue().Find(url);
    if (index < 0) return "(not queued)";
    const TRetriveRec& entry = engine.Entry(index);
    return ReadWholeFile(entry.LocalFolder + entry.LocalFileName);
  }
};

TEST_F(SiteMannersTest, RobotsRulesKeepWhatTheyDisallowUnfetched) {
  const struct {
    bool follow;
    std::vector<std::string> fetched;
    int refused;
  } cases[] = {
      {true, {"/r/index.html", "/r/private/open.html", "/r/doc.pdf?v=1", "/r/public.html"}, 2},
      {false,
       {"/r/index.html", "/r/private/secret.html", "/r/private/open.html", "/r/doc.pdf",
        "/r/doc.pdf?v=1", "/r/public.html"},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.follow);
    const size_t before = server_->Requests().size();
    auto engine = Engine("/r/index.html");
    engine->Options.FollowRobots = c.follow;
    ASSERT_TRUE(engine->Mirror());
    std::vector<std::string> fetched;
    for (const TRecordedRequest& r : Since(before, "/r/")) {
      fetched.push_back(r.RequestLine.substr(4, r.RequestLine.rfind(' ') - 4));
    }
    std::sort(fetched.begin(), fetched.end());
    std::vector<std::string> expected = c.fetched;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fetched, expected);
    EXPECT_EQ(engine->State->RobotsRefused, c.refused);
    EXPECT_EQ(Since(before, "/robots.txt").size(), c.follow ? 1u : 0u) << "asked once per host";
  }
}

// A link queued before its site's rules were known is held until they are,
// and ends unfetched with its own state when they disallow it.
TEST_F(SiteMannersTest, AnEntryDisallowedOnceTheRulesArriveEndsUnfetched) {
  const size_t before = server_->Requests().size();
  auto engine = Engine("/r/index.html");
  engine->Options.FollowRobots = true;
  TRetriveRec link;  // as a history file brings it back: a link found before
  link.Job.editUrl = server_->BaseUrl() + "/r/private/secret.html";
  link.ParentIndex = 1;
  link.JobNumber = 1;
  link.LocalFolder = engine->ProjectFolder();
  link.LocalFileName = "secret.html";
  engine->Queue().Append(link.Job.editUrl, link);
  ASSERT_TRUE(engine->Mirror());
  EXPECT_TRUE(Since(before, "/r/private/secret.html").empty());
  EXPECT_EQ(engine->Entry(0).ErrorCode, kRobotsRefusedError);
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Disallowed by robots.txt");
}

// The cookies a login's reply sets reach the pages after it, and are kept
// in the project's jar and the file asked for, readable by their owner
// only; a cookies file taken in gives the same pages.
TEST_F(SiteMannersTest, ALoginCarriesToTheMembersPages) {
  const std::string members = server_->BaseUrl() + "/members/page.html";
  {
    auto engine = Engine("/login");
    engine->Options.CookieExport = engine->Dir.Path() + "exported.txt";
    ASSERT_TRUE(engine->Control->StartJob(kProject, 1, true, std::string("user=a&pass=b")));
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(Saved(*engine, members), "members only");
    for (const std::string& jar :
         {CookieJarPath(engine->Options.DownLoadFolder, kProject), engine->Options.CookieExport}) {
      struct stat st {};
      ASSERT_EQ(::stat(jar.c_str(), &st), 0) << jar;
      EXPECT_EQ(st.st_mode & 0777, 0600u) << jar;
      EXPECT_NE(ReadWholeFile(jar).find("session\ts3cr3t"), std::string::npos) << jar;
    }
  }
  for (const bool imported : {false, true}) {
    SCOPED_TRACE(imported);
    auto engine = Engine("/members/page.html");
    const std::string file = engine->Dir.Path() + "cookies.txt";
    std::ofstream(file) << "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\t"
                        << (imported ? "s3cr3t" : "other") << "\n";
    engine->Options.CookieImport = file;
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(Saved(*engine, members), imported ? "members only" : "please log in");
  }
}

TEST_F(SiteMannersTest, RequestsToOneHostAreLimitedAndSpaced) {
  {
    const size_t before = server_->Requests().size();
    auto engine = Engine("/p/index.html", 8);
    engine->Options.PerHostConnections = 2;
    ASSERT_TRUE(engine->Mirror());
    const std::vector<TRecordedRequest> pages = Since(before, "/p/");
    ASSERT_EQ(pages.size(), 9u);
    for (const TRecordedRequest& r : pages) EXPECT_LE(r.Open, 2) << r.RequestLine;
  }
  {
    const size_t before = server_->Requests().size();
    auto engine = Engine("/w/index.html", 3);
    engine->Options.WaitMs = 300;
    ASSERT_TRUE(engine->Mirror());
    const std::vector<TRecordedRequest> pages = Since(before, "/w/");
    ASSERT_EQ(pages.size(), 4u);
    for (size_t i = 1; i < pages.size(); ++i) {
      EXPECT_GE(pages[i].Time - pages[i - 1].Time, 0.29) << pages[i].RequestLine;
    }
  }
}

// "429 Too Many Requests" with Retry-After: 1 is asked again after that
// second; a server that asks for more than the bound is given up on.
TEST_F(SiteMannersTest, BusyServersAreAskedAgainAfterTheirWait) {
  const size_t before = server_->Requests().size();
  auto engine = Engine("/busy.html");
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(Saved(*engine, server_->BaseUrl() + "/busy.html"), "served");
  const std::vector<TRecordedRequest> asked = Since(before, "/busy.html");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_GE(asked[1].Time - asked[0].Time, 1.0);

  auto overloaded = Engine("/overloaded.html");
  ASSERT_TRUE(overloaded->Mirror());
  EXPECT_EQ(overloaded->Observer.Cell(1, 4),
            "Server busy (503): asked to wait 3600 s, more than 120 s");
}

}  // namespace
}  // namespace kestrix::test
