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

// Every href="..." and src="..." value and every url(...) of a page or sheet.
std::vector<std::string> LinksIn(const std::string& text) {
  std::vector<std::string> links;
  for (const std::string opening : {"href=\"", "src=\"", "url("}) {
    for (size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
      size_t from = at + opening.size();
      const bool inUrl = opening == "url(";
      if (inUrl && from < text.size() && text[from] == '"') ++from;
      const size_t end = text.find_first_of(inUrl ? "\")" : "\"", from);
      links.push_back(text.substr(from, end - from));
    }
  }
  return links;
}

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

TEST_F(CliHttps, AbsoluteHttpsLinksToTheSiteAreCopiedAndForeignOnesStay) {
  TNginxServer secure(site_.Path());
  secure.UseTls(certs_.Valid().Cert, certs_.Valid().Key);
  ASSERT_TRUE(secure.Start()) << secure.Error();
  const std::string base = secure.BaseUrl();
  const std::string port = base.substr(base.rfind(':') + 1);
  site_.WriteFile("index.html",
                  "<html><head><link rel=\"stylesheet\" href=\"" + base +
                      "/css/site.css\">\n"
                      "<link rel=\"stylesheet\" href=\"https://fonts.invalid/f.css\">\n"
                      "<script src=\"https://cdn.invalid/lib.js\"></script></head>\n"
                      "<body><img src=\"" +
                      base +
                      "/img/logo.png\">\n"
                      "<a href=\"" +
                      base +
                      "/docs/a.html#top\">A</a>\n"
                      "<a href=\"//127.0.0.1:" +
                      port +
                      "/docs/b.html\">B</a>\n"
                      "<a href=\"https://other.invalid/page.html\">other</a></body></html>\n");
  site_.WriteFile("docs/a.html", "<html><a href=\"" + base +
                                     "/index.html\">home</a>\n"
                                     "<img src=\"https://cdn.invalid/pic.png\">\n"
                                     "<a href=\"b.html\">B</a>\n"
                                     "<a href=\"http://127.0.0.1:" +
                                     port + "/docs/b.html\">B by http</a></html>\n");
  site_.WriteFile("docs/b.html",
                  "<html><a href=\"" + base +
                      "/docs/a.html\">A</a>\n"
                      "<iframe src=\"https://other.invalid/frame.html\"></iframe></html>\n");
  site_.WriteFile("css/site.css",
                  "@import url(\"https://fonts.invalid/x.css\");\n"
                  "body { background: url(" +
                      base + "/img/bg.png) }\n");
  site_.WriteFile("img/logo.png", "logo");
  site_.WriteFile("img/bg.png", "bg");

  TCliRunner cli;
  const TCliResult r = cli.Run({"mirror", base + "/index.html", "--project", "Own", "--depth", "4",
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
  std::set<std::string> uris;
  for (const std::string& line : secure.AccessLog()) {
    EXPECT_THAT(line, ::testing::StartsWith("200 ")) << line;
    EXPECT_TRUE(uris.insert(line.substr(line.rfind(' ') + 1)).second) << "fetched twice: " << line;
  }
  EXPECT_EQ(uris.size(), want.size());

  // Every local link leads to a saved file; every link to another host is
  // left as written, so the copy still reaches it on the web.
  int local = 0;
  for (const std::string& file : saved) {
    if (!file.ends_with(".html") && !file.ends_with(".css")) continue;
    const std::string text = ReadWholeFile(project + file);
    EXPECT_EQ(text.find(base), std::string::npos) << file << " still names the site:\n" << text;
    for (std::string link : LinksIn(text)) {
      if (link.starts_with("https://")) {
        EXPECT_THAT(link, HasSubstr(".invalid/")) << file;
        continue;
      }
      link = link.substr(0, link.find('#'));
      EXPECT_TRUE(fs::is_regular_file(fs::path(project + file).parent_path() / link))
          << file << ": " << link;
      ++local;
    }
  }
  EXPECT_EQ(local, 9);  // the http link to a page fetched by https included
  const std::string index = ReadWholeFile(project + "127.0.0.1/index.html");
  for (const char* kept :
       {"href=\"https://fonts.invalid/f.css\"", "src=\"https://cdn.invalid/lib.js\"",
        "href=\"https://other.invalid/page.html\"", "href=\"../127.0.0.1/docs/a.html#top\""}) {
    EXPECT_THAT(index, HasSubstr(kept));
  }
  EXPECT_THAT(ReadWholeFile(project + "127.0.0.1/docs/b.html"),
              HasSubstr("src=\"https://other.invalid/frame.html\""));
  EXPECT_THAT(ReadWholeFile(project + "127.0.0.1/css/site.css"),
              HasSubstr("@import url(\"https://fonts.invalid/x.css\")"));
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
