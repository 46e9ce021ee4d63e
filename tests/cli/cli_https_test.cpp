// kestrix-cli copying a site served over TLS by nginx on 127.0.0.1, with
// certificates made at test time: a plain start page relocated to https,
// pages linking to themselves with absolute https URLs and to other https
// hosts, the update by date, the same through our CONNECT proxy with and
// without its credentials, and certificate failures reported with their
// cause and host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/support/connect_proxy.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_certs.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CliHttps : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(certs_.Make()) << certs_.Error(); }
  // Serves the site over TLS with a certificate the test authority issued.
  bool StartSecure() {
    secure_.UseTls(certs_.Valid().Cert, certs_.Valid().Key);
    if (!secure_.Start()) return false;
    base_ = secure_.BaseUrl();
    return true;
  }
  TTestCerts certs_;
  TScratchDir site_;
  TNginxServer secure_{site_.Path()};
  std::string base_;
};

TEST_F(CliHttps, PlainStartRelocatedToHttpsIsMirroredAndUpdated) {
  ASSERT_TRUE(StartSecure()) << secure_.Error();
  site_.WriteFile("index.html", "<html><a href=\"a.html\">A</a><a href=\"b.html\">B</a></html>\n");
  site_.WriteFile("a.html", "<html><a href=\"/index.html\">home</a></html>\n");
  site_.WriteFile("b.html", "<html><a href=\"a.html\">A</a></html>\n");
  TNginxServer plain(site_.Path(), "location = /start { return 301 " + base_ + "/index.html; }");
  ASSERT_TRUE(plain.Start()) << plain.Error();

  TCliRunner cli;
  TCliResult r = cli.Run({"mirror", plain.BaseUrl() + "/start", "--project", "Tls", "--depth", "3",
                          "--replicate", "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("OK\t" + base_ + "/a.html\t"));
  std::set<std::string> names;
  for (const std::string& path : SavedFiles(cli.DownloadFolder() + "Tls")) {
    names.insert(fs::path(path).filename());
  }
  for (const char* name : {"a.html", "b.html", "index.html"})
    EXPECT_TRUE(names.count(name)) << name;
  // The relocated start page is found under its new URL too: the link back
  // to it from a.html is not fetched a second time.
  const int fetched = CountWith(secure_.AccessLog(), "200 ");
  EXPECT_EQ(fetched, 3) << ::testing::PrintToString(secure_.AccessLog());
  EXPECT_EQ(CountWith(secure_.AccessLog(), " GET ") - CountWith(secure_.AccessLog(), "robots.txt"),
            fetched);

  // The first run fetched nothing but 200s: every 304 is the update's.
  r = cli.Run({"download", "Tls", "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_EQ(CountWith(secure_.AccessLog(), "304 0 GET"), fetched)
      << ::testing::PrintToString(secure_.AccessLog());
}

TEST_F(CliHttps, AbsoluteHttpsLinksToTheSiteAreCopiedAndForeignOnesStay) {
  ASSERT_TRUE(StartSecure()) << secure_.Error();
  // SITE stands for the server's own host and port.
  const std::string site = base_.substr(std::string("https://").size());
  const auto write = [&](const std::string& name, const std::string& text) {
    site_.WriteFile(name, ReplaceAll(text, "SITE", site));
  };
  write("index.html", R"(<html><head><link rel="stylesheet" href="https://SITE/css/site.css">
<link rel="stylesheet" href="https://fonts.invalid/f.css">
<script src="https://cdn.invalid/lib.js"></script></head>
<body><img src="https://SITE/img/logo.png">
<a href="https://SITE/docs/a.html#top">A</a>
<a href="//SITE/docs/b.html">B</a>
<a href="https://other.invalid/page.html">other</a></body></html>
)");
  write("docs/a.html", R"(<html><a href="https://SITE/index.html">home</a>
<img src="https://cdn.invalid/pic.png">
<a href="b.html">B</a>
<a href="http://SITE/docs/b.html">B by http</a></html>
)");
  write("docs/b.html", R"(<html><a href="https://SITE/docs/a.html">A</a>
<iframe src="https://other.invalid/frame.html"></iframe></html>
)");
  write("css/site.css", R"(@import url("https://fonts.invalid/x.css");
body { background: url(https://SITE/img/bg.png) }
)");
  site_.WriteFile("img/logo.png", "logo");
  site_.WriteFile("img/bg.png", "bg");

  TCliRunner cli;
  const TCliResult r = cli.Run({"mirror", base_ + "/index.html", "--project", "Own", "--depth", "4",
                                "--this-server", "--images", "--styles", "--scripts", "--embed",
                                "--offline", "--replicate", "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, ::testing::Not(HasSubstr(".invalid"))) << "a foreign file was queued";

  const std::string project = cli.DownloadFolder() + "Own/";
  const std::set<std::string> saved = SavedFiles(project);
  const std::set<std::string> want = {"127.0.0.1/index.html",   "127.0.0.1/docs/a.html",
                                      "127.0.0.1/docs/b.html",  "127.0.0.1/css/site.css",
                                      "127.0.0.1/img/logo.png", "127.0.0.1/img/bg.png"};
  EXPECT_EQ(saved, want);
  EXPECT_EQ(ExpectEachFetchedOnce(secure_.AccessLog()).size(), want.size());

  // Every local link leads to a saved file; no link names the site any more
  // (by https, http or "//"), and links to other hosts are left as written,
  // so the copy still reaches them on the web.
  for (const std::string& file : saved) {
    EXPECT_EQ(ReadWholeFile(project + file).find("//" + site), std::string::npos) << file;
  }
  EXPECT_EQ(ExpectLocalLinksWork(project), 9);  // the http link to a page fetched by https included
  const std::string index = ReadWholeFile(project + "127.0.0.1/index.html");
  for (const char* kept :
       {"href=\"https://fonts.invalid/f.css\"", "src=\"https://cdn.invalid/lib.js\"",
        "href=\"https://other.invalid/page.html\"", "href=\"docs/a.html#top\""}) {
    EXPECT_THAT(index, HasSubstr(kept));
  }
  EXPECT_THAT(ReadWholeFile(project + "127.0.0.1/docs/b.html"),
              HasSubstr("src=\"https://other.invalid/frame.html\""));
  EXPECT_THAT(ReadWholeFile(project + "127.0.0.1/css/site.css"),
              HasSubstr("@import url(\"https://fonts.invalid/x.css\")"));
}

TEST_F(CliHttps, MirroredThroughTheProxyWhichSeesOnlyTunnels) {
  ASSERT_TRUE(StartSecure()) << secure_.Error();
  site_.WriteFile("index.html", "<html><a href=\"a.html\">A</a><img src=\"i.gif\"></html>\n");
  site_.WriteFile("a.html", "<html><a href=\"index.html\">home</a></html>\n");
  site_.WriteFile("i.gif", "GIF89a");
  TConnectProxy proxy("ann:secret");
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  const std::string at = "@127.0.0.1:" + std::to_string(proxy.Port());

  TCliRunner cli;
  TCliResult r = cli.Run({"mirror", base_ + "/index.html", "--project", "Px", "--depth", "3",
                          "--proxy", "ann:wrong" + at, "--ca-file", certs_.CaFile()});
  EXPECT_THAT(r.Out + r.Err,
              HasSubstr("proxy refused the tunnel to 127.0.0.1:" + std::to_string(secure_.Port()) +
                        ": 407 Proxy Authentication Required"));
  EXPECT_THAT(r.Out, ::testing::Not(HasSubstr("OK\t")));
  // Refused once for the site's robots.txt and once for the page, never retried.
  EXPECT_EQ(proxy.Requests().size(), 2u);
  EXPECT_TRUE(secure_.AccessLog().empty());

  r = cli.Run({"mirror", base_ + "/index.html", "--project", "Px2", "--depth", "3", "--images",
               "--proxy", "ann:secret" + at, "--ca-file", certs_.CaFile()});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  for (const char* name : {"/index.html", "/a.html", "/i.gif"}) {
    EXPECT_THAT(r.Out, HasSubstr("OK\t" + base_ + name + "\t")) << r.Out;
  }
  const std::vector<TRecordedRequest> asked = proxy.Requests();
  ASSERT_EQ(asked.size(), 6u);  // robots.txt and three files
  for (std::size_t i = 0; i < asked.size(); ++i) {
    EXPECT_EQ(asked[i].RequestLine,
              "CONNECT 127.0.0.1:" + std::to_string(secure_.Port()) + " HTTP/1.0");
    EXPECT_EQ(asked[i].Header("Proxy-Authorization"),
              i < 2 ? "Basic YW5uOndyb25n" : "Basic YW5uOnNlY3JldA==");
  }
  EXPECT_EQ(CountWith(secure_.AccessLog(), "200 "), 3);
}

// The client tells every kind of certificate failure apart; here they must
// reach the user, save nothing, and yield to the command line's options.
TEST_F(CliHttps, CertificateFailuresAreReportedWithTheirHostAndSaveNothing) {
  site_.WriteFile("index.html", "<html>never saved</html>\n");
  struct Case {
    TCertPair pair;
    bool withCa;
    const char* text;
  } cases[] = {
      {certs_.Expired(), true, "certificate expired: 127.0.0.1"},
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
    // Nothing could be fetched: the last line names the start and why.
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_THAT(r.Out, HasSubstr("Failed: " + server.BaseUrl() + "/index.html: certificate "));
    EXPECT_THAT(r.Out, ::testing::Not(HasSubstr("OK\t"))) << c.text;
    EXPECT_TRUE(SavedFiles(cli.DownloadFolder() + "Bad").empty()) << c.text;
    EXPECT_TRUE(server.AccessLog().empty()) << c.text;

    // Accepting unverified certificates lets the same server through.
    args.push_back("--accept-unverified");
    r = cli.Run(args);
    EXPECT_THAT(r.Out, HasSubstr("OK\t" + server.BaseUrl() + "/index.html")) << r.Out << r.Err;
    EXPECT_EQ(r.ExitCode, 0);
  }
}

}  // namespace
}  // namespace kestrix::test
