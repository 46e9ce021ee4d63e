// kestrix-cli mirroring, from nginx on 127.0.0.1, a site shaped like the
// documentation sites people copy (tests/fixtures/docsite): versioned style
// sheets and scripts, links to other hosts by https and "//", data: images,
// srcset, a base tag, a minified one-line page, data-* attributes before
// src, script links written as "#" plus onclick, names with spaces and
// non-ASCII letters, sheets with url() and @import, a PDF and a ZIP. The copy
// must hold every reachable file, fetched once each, and every local link of
// every saved page and sheet must lead to a saved file.
#include <filesystem>
#include <map>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kSite = std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/docsite/";

TEST(CliDocSite, TheCopyIsCompleteFetchedOnceAndEveryLocalLinkWorks) {
  TNginxServer nginx(kSite);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TCliRunner cli;
  cli.AllowWebEngine();
  const TCliResult r =
      cli.Run({"mirror", nginx.BaseUrl() + "/index.html", "--project", "doc", "--depth", "6",
               "--this-server", "--images", "--styles", "--scripts", "--offline", "--replicate"},
              120000);
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;

  // Every file of the site but the search page itself (reached only by a
  // rel="search" LINK and a form) under the name a browser can open.
  const std::map<std::string, std::string> renamed = {
      {"_static/theme.css", "_static/theme.css@v=3.css"},
      {"_static/pygments.css", "_static/pygments.css@v=3&x=1.css"},
      {"_static/documentation_options.js", "_static/documentation_options.js@v=3.js"},
      {"_static/doctools.js", "_static/doctools.js@v=3.js"},
      {"_static/fonts/lato.woff2", "_static/fonts/lato.woff2@v=2.woff2"},
      {"files/release notes.html", "files/release_notes.html"},
      {"search.html", "search.html@q=widget&check_keywords=yes&area=default.html"}};
  std::set<std::string> want{"127.0.0.1/guide/intro.html@next=mailto!x.html"};
  for (const auto& entry : fs::recursive_directory_iterator(kSite)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = fs::relative(entry.path(), kSite).string();
    const auto it = renamed.find(path);
    want.insert("127.0.0.1/" + (it == renamed.end() ? path : it->second));
  }
  const std::string project = cli.DownloadFolder() + "doc/";
  const std::set<std::string> saved = SavedFiles(project);
  EXPECT_EQ(saved, want);

  EXPECT_EQ(ExpectEachFetchedOnce(nginx.AccessLog()).size(), saved.size());
  // The page's own links that no job fetches stay as written.
  EXPECT_GT(ExpectLocalLinksWork(project,
                                 [](const std::string& link) {
                                   return link.ends_with("search.html") ||
                                          link == "docs@example.org";
                                 }),
            200);

  const std::string index = ReadWholeFile(project + "127.0.0.1/index.html");
  for (const char* kept :
       {"src=\"data:image/gif;base64,R0lGOD", "href=\"https://github.example.org/widget\"",
        "href=\"//forum.example.org/\"", "href=\"mailto:help@example.org\"",
        "href=\"tel:+15550100\"", "src=\"https://cdn.example.org/lib.js\"",
        "href=\"https://docs.example.org/en/latest/index.html\"", "rev=\"made\"",
        "data-url_root=\"./\"", "data-src=\"nothing.js\""}) {
    EXPECT_THAT(index, HasSubstr(kept));
  }
  // Links lead from the page's own folder, never through the host's.
  EXPECT_THAT(index, HasSubstr("srcset=\"_static/img/logo.png 1x, _static/img/logo@2x.png 2x\""));
  EXPECT_THAT(index, HasSubstr("href=\"guide/scripted.html\" alt=\"go("));
  EXPECT_THAT(index, HasSubstr("href=\"files/caf%C3%A9.html\""));
  EXPECT_THAT(index, HasSubstr("href=\"files/release_notes.html\""));
  // The one-line page: all 48 links and nothing else changed.
  const std::string api = ReadWholeFile(project + "127.0.0.1/api/index.html");
  std::string original = ReadWholeFile(kSite + "api/index.html");
  original = ReplaceAll(original, "pygments.css?v=3&amp;x=1", "pygments.css@v=3%26x=1.css");
  original = ReplaceAll(original, "theme.css?v=3", "theme.css@v=3.css");
  original = ReplaceAll(original, "doctools.js?v=3", "doctools.js@v=3.js");
  EXPECT_EQ(api, original);
}

}  // namespace
}  // namespace kestrix::test
