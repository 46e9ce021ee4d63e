// The exploration test's fetches against the scripted fault server: errors
// are reported, odd replies do not crash it, a running fetch refuses what
// would pull the page from under it, and the project's cookies are sent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/cookie_file.h"
#include "exploration/explorer.h"
#include "http/socket_errors.h"
#include "tests/exploration/exploration_fixture.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

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
