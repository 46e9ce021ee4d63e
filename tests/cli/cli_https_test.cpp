// kestrix-cli copying a site served over TLS by nginx on 127.0.0.1, with
// certificates made at test time: a plain start page relocated to https,
// relative links within the copied site, the update by date,
// the same through our CONNECT proxy with and without its credentials, and
// certificate failures reported with their cause and host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_runner.h"
#include "tests/support/connect_proxy.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_certs.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

int CountWith(const std::vector<std::string>& lines, const std::string& text) {
  int count = 0;
  for (const std::string& line : lines) count += line.find(text) != std::string::npos;
  return count;
}

class CliHttps : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(certs_.Make()) << certs_.Error(); }
  TTestCerts certs_;
  TScratchDir site_;
};

TEST_F(CliHttps, PlainStartRelocatedToHttpsIsMirroredAndUpdated) {
  TNginxServer secure(site_.Path());
  secure.UseTls(certs_.Valid().Cert, certs_.Valid().Key);
  ASSERT_TRUE(secure.Start()) << secure.Error();
  const std::string base = secure.BaseUrl();
  site_.WriteFile("index.html", "<html><a href=\"a.html\">A</a><a href=\"b.html\">B</a></html>\n");
  site_.WriteFile("a.html", "<html><a href=\"/index.html\">home</a></html>\n");
  site_.WriteFile("b.html", "<html><a href=\"a.html\">A</a></html>\n");
  TNginxServer plain(site_.Path(), "location = /start { return 301 " + base + "/index.html; }");
  ASSERT_TRUE(plain.Start()) << plain.Error();

  TCliRunner cli;
  TCliResult r = cli.Run({"mirror", plain.BaseUrl() + "/start", "--project", "Tls", "--depth", "3",
                          "--replicate", "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("OK\t" + base + "/a.html\t"));
  std::set<std::string> names;
  for (const std::string& path : SavedFiles(cli.DownloadFolder() + "Tls")) {
    names.insert(fs::path(path).filename());
  }
  for (const char* name : {"a.html", "b.html", "index.html"})
    EXPECT_TRUE(names.count(name)) << name;
  // The relocated start page is found under its new URL too: the link back
  // to it from a.html is not fetched a second time.
  const int fetched = CountWith(secure.AccessLog(), "200 ");
  EXPECT_EQ(fetched, 3) << ::testing::PrintToString(secure.AccessLog());
  EXPECT_EQ(CountWith(secure.AccessLog(), " GET "), fetched);

  const size_t before = secure.AccessLog().size();
  r = cli.Run({"download", "Tls", "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  std::vector<std::string> log = secure.AccessLog();
  log.erase(log.begin(), log.begin() + static_cast<long>(before));
  EXPECT_EQ(CountWith(log, "304 0 GET"), fetched) << ::testing::PrintToString(log);
}

TEST_F(CliHttps, MirroredThroughTheProxyWhichSeesOnlyTunnels) {
  TNginxServer secure(site_.Path());
  secure.UseTls(certs_.Valid().Cert, certs_.Valid().Key);
  ASSERT_TRUE(secure.Start()) << secure.Error();
  const std::string base = secure.BaseUrl();
  site_.WriteFile("index.html", "<html><a href=\"a.html\">A</a><img src=\"i.gif\"></html>\n");
  site_.WriteFile("a.html", "<html><a href=\"index.html\">home</a></html>\n");
  site_.WriteFile("i.gif", "GIF89a");
  TConnectProxy proxy("ann:secret");
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  const std::string at = "@127.0.0.1:" + std::to_string(proxy.Port());

  TCliRunner cli;
  TCliResult r = cli.Run({"mirror", base + "/index.html", "--project", "Px", "--depth", "3",
                          "--proxy", "ann:wrong" + at, "--ca-file", certs_.CaFile()});
  EXPECT_THAT(r.Out + r.Err,
              HasSubstr("proxy refused the tunnel to 127.0.0.1:" + std::to_string(secure.Port()) +
                        ": 407 Proxy Authentication Required"));
  EXPECT_THAT(r.Out, ::testing::Not(HasSubstr("OK\t")));
  EXPECT_EQ(proxy.Requests().size(), 1u);  // refused once, never retried
  EXPECT_TRUE(secure.AccessLog().empty());

  r = cli.Run({"mirror", base + "/index.html", "--project", "Px2", "--depth", "3", "--images",
               "--proxy", "ann:secret" + at, "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  for (const char* name : {"/index.html", "/a.html", "/i.gif"}) {
    EXPECT_THAT(r.Out, HasSubstr("OK\t" + base + name + "\t")) << r.Out;
  }
  const std::vector<TRecordedRequest> asked = proxy.Requests();
  ASSERT_EQ(asked.size(), 4u);
  for (std::size_t i = 0; i < asked.size(); ++i) {
    EXPECT_EQ(asked[i].RequestLine,
              "CONNECT 127.0.0.1:" + std::to_string(secure.Port()) + " HTTP/1.0");
    EXPECT_EQ(asked[i].Header("Proxy-Authorization"),
              i == 0 ? "Basic YW5uOndyb25n" : "Basic YW5uOnNlY3JldA==");
  }
  EXPECT_EQ(CountWith(secure.AccessLog(), "200 "), 3);
}

TEST_F(CliHttps, CertificateFailuresAreReportedWithTheirHostAndSaveNothing) {
  site_.WriteFile("index.html", "<html>never saved</html>\n");
  struct Case {
    TCertPair pair;
    bool withCa;
    const char* text;
  } cases[] = {
      {certs_.Expired(), true, "certificate expired: 127.0.0.1"},
      {certs_.WrongHost(), true, "certificate does not match host: 127.0.0.1"},
      {certs_.SelfSigned(), true, "certificate not trusted: 127.0.0.1"},
      {certs_.Valid(), false, "certificate not trusted: 127.0.0.1"},
  };
  for (const Case& c : cases) {
    TNginxServer server(site_.Path());
    server.UseTls(c.pair.Cert, c.pair.Key);
    ASSERT_TRUE(server.Start()) << server.Error();
    TCliRunner cli;
    std::vector<std::string> args = {"mirror", server.BaseUrl() + "/index.html", "--project",
                                     "Bad"};
    if (c.withCa) args.insert(args.end(), {"--ca-file", certs_.CaFile()});
    TCliResult r = cli.Run(args);
    EXPECT_THAT(r.Out + r.Err, HasSubstr(c.text)) << r.Out << r.Err;
    EXPECT_THAT(r.Out, ::testing::Not(HasSubstr("OK\t"))) << c.text;
    EXPECT_TRUE(SavedFiles(cli.DownloadFolder() + "Bad").empty()) << c.text;
    EXPECT_TRUE(server.AccessLog().empty()) << c.text;

    // Accepting unverified certificates lets the same server through.
    args.push_back("--accept-unverified");
    r = cli.Run(args);
    EXPECT_THAT(r.Out, HasSubstr("OK\t" + server.BaseUrl() + "/index.html")) << r.Out << r.Err;
  }
}

}  // namespace
}  // namespace kestrix::test
