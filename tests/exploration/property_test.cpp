// The links the exploration test marks enabled are exactly the links the
// downloader queues from the same page with the same job: both are run on
// generated pages and on the documentation-shaped fixture site.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "core/url_list.h"
#include "engine/page_lines.h"
#include "exploration/explorer.h"
#include "links/admission.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "tests/exploration/exploration_fixture.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

// What the downloader queues when it analyses the saved page `path` as the
// starting entry of `job` for `url`.
std::set<std::string> DownloaderQueues(const TJobRecord& job, const std::string& url,
                                       const std::string& path, const std::string& downloadFolder) {
  TEngineState state;
  const std::string folder = LocalDir(url, downloadFolder, job.ProjectName, job.checkReplicate);
  const int32_t start = AppendStartUrl(state.Queue, job, 1, url, folder);
  state.Queue.Entry(start).IsHtml = 1;
  TPageLines page;
  EXPECT_TRUE(LoadPageLines(path, page));
  TAnalysisTarget target{state, downloadFolder, "index.html", {}};
  NullScriptResolver resolver;
  THTMLParser parser;
  ParsePage(page.Lines, state.Queue.Entry(start), start, target, resolver, parser);
  std::set<std::string> urls;
  for (int32_t i = 0; i < state.Queue.Count(); ++i) {
    if (i != start) urls.insert(std::string(state.Queue.Url(i)));
  }
  return urls;
}

std::string RandomPage(std::mt19937& random, const std::string& self) {
  const std::string secureSelf = "https://" + self.substr(self.find("://") + 3);
  const std::vector<std::string> tags = {
      "<a href=\"" + secureSelf + "sec%.html\">sec</a>",
      "<script src=\"https://other.invalid/j%.js\"></script>",
      "<link rel=\"stylesheet\" href=\"//other.invalid/s%.css\">",
      "<a href=\"a%.html\">a%</a>",
      "<a href=\"../up%.html\">up</a>",
      "<a href=\"sub/s%.html#frag\">s</a>",
      "<a href=\"/root%.html\">root</a>",
      "<a href=\"" + self + "abs%.html\">abs</a>",
      "<a href=\"http://other.invalid/o%.html\">other</a>",
      "<a href=\"http://other.invalid/dir/p%.gif\">pic</a>",
      "<a href=\"mailto:m%@h\">mail</a>",
      "<a href=\"javascript:void(0)\">void</a>",
      "<a href=\"#top\">top</a>",
      "<a href=\"?page=%\">page</a>",
      "<a href=\"ftp://127.0.0.1/f%.zip\">ftp</a>",
      "<img src=\"img%.gif\">",
      "<img src=\"http://other.invalid/i%.png\">",
      "<img src=\"p%.jpg\" srcset=\"p%-2x.jpg 2x\">",
      "<link rel=\"stylesheet\" href=\"s%.css\">",
      "<script src=\"j%.js\"></script>",
      "<frame src=\"f%.html\">",
      "<frame src=\"http://other.invalid/f%.html\">",
      "<iframe src=\"i%.html\"></iframe>",
      "<embed src=\"e%.swf\">",
      "<meta http-equiv=\"refresh\" content=\"5; URL=next%.html\">",
      "<meta http-equiv=\"refresh\" content=\"5; URL=http://other.invalid/m%.html\">",
      "<map><area href=\"area%.html\"></map>",
      "<div style=\"background:url(bg%.png)\"></div>",
      "<a href=\"index.html\">self</a>",
  };
  std::uniform_int_distribution<size_t> pick(0, tags.size() - 1);
  std::string page = "<html><body>\n";
  for (int i = 0; i < 40; ++i) {
    std::string tag = tags[pick(random)];
    for (size_t at = tag.find('%'); at != std::string::npos; at = tag.find('%')) {
      tag.replace(at, 1, std::to_string(random() % 5));
    }
    page += tag + "\n";
  }
  return page + "</body></html>\n";
}

TJobRecord RandomJob(std::mt19937& random) {
  auto flag = [&random] { return random() % 2 == 0; };
  TJobRecord job;
  job.editDepth = static_cast<int32_t>(random() % 3) + 1;
  job.EditRmtDepth = static_cast<int32_t>(random() % 3);
  job.checkLoadImg = flag();
  job.checkRmtLoadImg = flag();
  job.checkLoadEmbed = flag();
  job.checkLoadStyle = flag();
  job.radioThisPath = flag();
  job.radioThisServer = !job.radioThisPath;
  job.checkOtherServers = flag();
  const int remote = static_cast<int>(random() % 3);
  job.radioRmtThisPath = remote == 1;
  job.radioRmtThisServer = remote == 2;
  job.checkLocalize = flag();
  job.checkReplicate = flag();
  if (random() % 3 == 0) {
    job.lclCheckIgnoreFile = true;
    job.lcleditIgnoreFile = "*.gif;up*";
  }
  if (random() % 4 == 0) {
    job.rmtCheckRetriveFile = true;
    job.rmteditRetrieveFile = "*.html";
  }
  return job;
}

void ExpectSameSets(TExplorationRig& rig, const TJobRecord& job, const std::string& url) {
  rig.Start(job, url);
  ASSERT_TRUE(rig.Fetch());
  ASSERT_TRUE(rig.Test.CanParse());
  std::set<std::string> enabled = rig.EnabledUrls();
  enabled.erase(url);
  TJobRecord named = job;
  named.ProjectName = kTestProject;
  const std::set<std::string> queued =
      DownloaderQueues(named, url, rig.Test.CurrentPath(), rig.Options.DownLoadFolder);
  EXPECT_EQ(enabled, queued);
}

TEST(ExplorationPropertyTest, EnabledIsWhatTheDownloaderQueuesOnGeneratedPages) {
  TScratchDir site;
  TNginxServer server(site.Path());
  ASSERT_TRUE(server.Start()) << server.Error();
  TExplorationRig rig;
  std::mt19937 random(18);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    site.WriteFile("dir/index.html", RandomPage(random, server.BaseUrl() + "/dir/"));
    ExpectSameSets(rig, RandomJob(random), server.BaseUrl() + "/dir/index.html");
  }
}

TEST(ExplorationPropertyTest, EnabledIsWhatTheDownloaderQueuesOnTheDocumentationSite) {
  const std::string root = std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/docsite/";
  TNginxServer server(root);
  ASSERT_TRUE(server.Start()) << server.Error();
  TExplorationRig rig;
  std::mt19937 random(12);
  for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = file.path().string();
    if (!path.ends_with(".html")) continue;
    const std::string url = server.BaseUrl() + "/" + path.substr(root.size());
    SCOPED_TRACE(url);
    ExpectSameSets(rig, DeepJob(), url);
    ExpectSameSets(rig, RandomJob(random), url);
  }
}

}  // namespace
}  // namespace kestrix::test
