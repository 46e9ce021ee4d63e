// kestrix-cli mirroring, from nginx on 127.0.0.1 and with the mirror
// command's defaults, a site shaped like the documentation sites people copy
// (tests/fixtures/docsite): versioned style sheets and scripts, links to
// other hosts by https and "//", data: images, srcset, a base tag, a
// minified one-line page, data-* attributes before src, script links
// written as "#" plus onclick, names with spaces and non-ASCII letters,
// sheets with url() and @import, a PDF, a ZIP and a script typed
// octet-stream; a section with directory URLs linked by "." and "..", one
// of them reached through nginx's 301 to the slash; links with blanks
// around them, LINK rel search/made/canonical, a link to a 404, OBJECT,
// VIDEO and SOURCE, a file whose type names it, and scripts that name the
// files they load. The copy must hold every reachable file, fetched once
// each, and every local link of every saved page and sheet must lead to a
// saved file; what was not saved is linked by its URL
// (tests/fixtures/docsite_copy.txt: the names and texts the copy holds).
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/case_file.h"
#include "tests/support/local_link.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kSite = std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/docsite/";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(CliDocSite, TheCopyIsCompleteFetchedOnceAndEveryLocalLinkWorks) {
  TNginxServer nginx(kSite, kDocSiteNginx);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const std::string web = nginx.BaseUrl();
  TCliRunner cli;
  cli.AllowWebEngine();
  const TCliResult r =
      cli.Run({"mirror", web + "/index.html", "--project", "doc", "--scripts"}, 120000);
  // Status 5: the site links to a page and a script-named file it lacks.
  ASSERT_EQ(r.ExitCode, 5) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Files named in scripts that were not found: 1\n"));

  // Every file of the site but the search page itself (reached only by a
  // rel="search" LINK and a form) under the name a browser can open.
  std::map<std::string, std::string> renamed;
  for (const auto& row : ReadRows("docsite_copy.txt", "renamed")) renamed[row[0]] = row[1];
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

  // The requests: each file once, dot segments taken out before asking,
  // and besides the files only the relocation to the folder's slash, the
  // site's missing robots.txt and the two names that lead nowhere.
  std::vector<std::string> log = nginx.AccessLog();
  for (const std::string& line : log) EXPECT_THAT(line, Not(HasSubstr("/."))) << line;
  const std::set<std::string> failing = {"301 GET /tutorial/advanced", "404 GET /robots.txt",
                                         "404 GET /tutorial/missing.html",
                                         "404 GET /tutorial/nothere.json"};
  std::set<std::string> failed;
  std::erase_if(log, [&](const std::string& line) {
    const std::string status = line.substr(0, 4);
    if (status == "200 ") return false;
    failed.insert(status + line.substr(line.find(' ', 4) + 1));
    return true;
  });
  EXPECT_EQ(failed, failing);
  std::set<std::string> fetched;
  for (const std::string& line : log) {
    EXPECT_TRUE(fetched.insert(line.substr(line.rfind(' ') + 1)).second) << "twice: " << line;
  }
  EXPECT_EQ(fetched.size(), saved.size());
  // Every local link of every saved page and sheet, read as a browser reads
  // it, leads to a saved file.
  int links = 0;
  for (const std::string& file : saved) {
    if (!file.ends_with(".html") && !file.ends_with(".css") && !file.ends_with(".htm")) continue;
    const fs::path folder = fs::path(project + file).parent_path();
    for (const std::string& link : LocalLinks(ReadWholeFile(project + file))) {
      EXPECT_TRUE(fs::is_regular_file(folder / LinkToPath(link))) << file << ": " << link;
      ++links;
    }
  }
  EXPECT_GT(links, 200);

  const auto texts = ReadRows("docsite_copy.txt", "has");
  ASSERT_GE(texts.size(), 27u);
  for (const auto& row : texts) {
    EXPECT_THAT(ReadWholeFile(project + "127.0.0.1/" + row[0]),
                HasSubstr(ReplaceAll(row[1], "@WEB@", web)))
        << row[0];
  }

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
