// kestrix-cli mirroring, from nginx on 127.0.0.1, a site shaped like the
// documentation sites people copy (tests/fixtures/docsite): versioned style
// sheets and scripts, links to other hosts by https and "//", data: images,
// srcset, a base tag, a minified one-line page, data-* attributes before
// src, script links written as "#" plus onclick, names with spaces and
// non-ASCII letters, sheets with url() and @import, a PDF and a ZIP. The copy
// must hold every reachable file, fetched once each, and every local link of
// every saved page and sheet must lead to a saved file.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kSite = std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/docsite/";

// What a browser makes of a local link: fragment cut, escapes decoded.
std::string LinkToPath(std::string link) {
  link = link.substr(0, link.find('#'));
  std::string path;
  for (size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size() &&
        std::isxdigit(static_cast<unsigned char>(link[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(link[i + 2]))) {
      path += static_cast<char>(std::stoi(link.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += link[i];
    }
  }
  return path;
}

// Whether a link has a scheme ("https:", "data:") or starts with "//".
bool NamesTheWeb(const std::string& link) {
  if (link.starts_with("//")) return true;
  if (link.empty() || !std::isalpha(static_cast<unsigned char>(link[0]))) return false;
  for (const char c : link) {
    if (c == ':') return true;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return false;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The local links of a saved page or sheet: href, src, each srcset
// candidate and url(...).
std::vector<std::string> LocalLinks(const std::string& text) {
  std::vector<std::string> links;
  for (const std::string name : {" href=\"", " src=\"", " srcset=\""}) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
      const size_t from = at + name.size();
      const std::string value = text.substr(from, text.find('"', from) - from);
      if (name != " srcset=\"") {
        links.push_back(value);
        continue;
      }
      std::istringstream candidates(value);
      for (std::string candidate; std::getline(candidates, candidate, ',');) {
        std::istringstream words(candidate);
        std::string url;
        if (words >> url) links.push_back(url);
      }
    }
  }
  for (size_t at = text.find("url("); at != std::string::npos; at = text.find("url(", at + 1)) {
    size_t from = at + 4;
    while (from < text.size() && text[from] == ' ') ++from;
    if (text.compare(from, 6, "&quot;") == 0) from += 6;
    if (from < text.size() && (text[from] == '"' || text[from] == '\'')) ++from;
    const size_t end = text.find_first_of("\"')&", from);
    links.push_back(text.substr(from, end - from));
  }
  std::vector<std::string> local;
  for (const std::string& link : links) {
    if (!link.empty() && link[0] != '#' && !NamesTheWeb(link)) local.push_back(link);
  }
  return local;
}

TEST(CliDocSite, TheCopyIsCompleteFetchedOnceAndEveryLocalLinkWorks) {
  TNginxServer nginx(kSite);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TCliRunner cli;
  const char* asan = std::getenv("ASAN_OPTIONS");
  cli.SetEnv("ASAN_OPTIONS",
             std::string(asan != nullptr ? asan : "") + ":new_delete_type_mismatch=0");
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

  // One request per file, each answered.
  std::set<std::string> uris;
  for (const std::string& line : nginx.AccessLog()) {
    EXPECT_THAT(line, ::testing::StartsWith("200 ")) << line;
    EXPECT_TRUE(uris.insert(line.substr(line.rfind(' ') + 1)).second) << "fetched twice: " << line;
  }
  EXPECT_EQ(uris.size(), saved.size());

  int checked = 0;
  for (const std::string& file : saved) {
    if (!file.ends_with(".html") && !file.ends_with(".css") && !file.ends_with(".htm")) continue;
    const std::string text = ReadWholeFile(project + file);
    const fs::path folder = fs::path(project + file).parent_path();
    for (const std::string& link : LocalLinks(text)) {
      // The page's own links that no job fetches stay as written.
      if (link.ends_with("search.html") || link == "docs@example.org") continue;
      EXPECT_TRUE(fs::is_regular_file(folder / LinkToPath(link))) << file << ": " << link;
      ++checked;
    }
  }
  EXPECT_GT(checked, 200);

  const std::string index = ReadWholeFile(project + "127.0.0.1/index.html");
  for (const char* kept :
       {"src=\"data:image/gif;base64,R0lGOD", "href=\"https://github.example.org/widget\"",
        "href=\"//forum.example.org/\"", "href=\"mailto:help@example.org\"",
        "href=\"tel:+15550100\"", "src=\"https://cdn.example.org/lib.js\"",
        "href=\"https://docs.example.org/en/latest/index.html\"", "rev=\"made\"",
        "data-url_root=\"./\"", "data-src=\"nothing.js\""}) {
    EXPECT_THAT(index, HasSubstr(kept));
  }
  // Links climb to the project folder and down into the host's.
  EXPECT_THAT(index, HasSubstr("srcset=\"../127.0.0.1/_static/img/logo.png 1x, "
                               "../127.0.0.1/_static/img/logo@2x.png 2x\""));
  EXPECT_THAT(index, HasSubstr("href=\"../127.0.0.1/guide/scripted.html\" alt=\"go("));
  EXPECT_THAT(index, HasSubstr("href=\"../127.0.0.1/files/caf%C3%A9.html\""));
  EXPECT_THAT(index, HasSubstr("href=\"../127.0.0.1/files/release_notes.html\""));
  // The one-line page: all 48 links and nothing else changed.
  const std::string api = ReadWholeFile(project + "127.0.0.1/api/index.html");
  std::string original = ReadWholeFile(kSite + "api/index.html");
  for (const std::string quote : {"\"", "'", ","}) {
    ReplaceAll(original, quote + "../", quote + "../../127.0.0.1/");
  }
  ReplaceAll(original, "href=\"func_", "href=\"../../127.0.0.1/api/func_");
  ReplaceAll(original, "pygments.css?v=3&amp;x=1", "pygments.css@v=3%26x=1.css");
  ReplaceAll(original, "theme.css?v=3", "theme.css@v=3.css");
  ReplaceAll(original, "doctools.js?v=3", "doctools.js@v=3.js");
  EXPECT_EQ(api, original);
}

}  // namespace
}  // namespace kestrix::test
