// A small site saved page by page the way a download does it: each page is
// written under its local name, read back, analysed and written back, until
// the queue is exhausted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/core/scratch_folder.h"
#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::SplitLines;
using testing::WriteFile;

const std::map<std::string, std::string> kSite = {
    {"http://h/site/index.html",
     "<html><a href=\"about.html\">About</a> <a href=\"docs/guide.html#intro\">Guide</a>\n"
     "<img src=\"img/logo.gif\" alt=\"Logo\">\n"
     "<a href=\"http://other/x/page.html\">Other</a> <a href=\"../outside.html\">Out</a>\n"
     "<frame src=\"menu.html\"></html>"},
    {"http://h/site/about.html", "<a href=\"index.html\">Home</a>"},
    {"http://h/site/docs/guide.html",
     "<a href=\"../about.html\">About</a><img src=\"../img/logo.gif\">\n"
     "<a href=\"deep.html\">Deep</a>"},
    {"http://h/site/menu.html", "<a href=\"about.html\" target=\"main\">About</a>"},
};

// Each entry's URL, link kind, depth, parent and, with replication, local
// path below the project folder (without it, only the file name).
const char* const kQueue[] = {
    "http://h/site/index.html 0 0 -1 h/site/index.html",
    "http://h/site/about.html 1 1 0 h/site/about.html",
    "http://h/site/docs/guide.html 1 1 0 h/site/docs/guide.html",
    "http://h/site/img/logo.gif 2 0 0 h/site/img/logo.gif",
    "http://h/site/menu.html 3 0 0 h/site/menu.html",
};

struct Variant {
  bool offline;
  bool replicate;
  bool linkToUrl;
  std::string index;  // the saved start page
  std::string guide;
};

class SiteTest : public ::testing::TestWithParam<Variant> {};

TEST_P(SiteTest, QueueAndSavedPages) {
  const Variant& v = GetParam();
  ScratchFolder dir;
  TJobRecord job;
  job.ProjectName = "P";
  job.editUrl = "http://h/site/index.html";
  job.editDepth = 2;
  job.checkLoadImg = true;
  job.checkLocalize = v.offline;
  job.checkReplicate = v.replicate;
  job.checkLinkToUrl = v.linkToUrl;

  AnalysisRun run;
  run.Target.DownLoadFolder = dir.Path();
  run.Start(job, job.editUrl);
  for (int32_t i = 0; i < run.State.Queue.Count(); ++i) {
    const TRetriveRec& e = run.At(i);
    const std::string path = e.LocalFolder + e.LocalFileName;
    std::filesystem::create_directories(e.LocalFolder);
    auto page = kSite.find(e.Job.editUrl);
    WriteFile(path, page == kSite.end() ? "GIF89a" : page->second);
    if (page == kSite.end()) continue;
    std::vector<std::string> lines = SplitLines(ReadFile(path));
    ASSERT_EQ(ParsePage(lines, e, i, run.Target, run.Resolver, run.Parser), std::nullopt);
    if (!e.Job->checkLocalize) continue;
    std::string text;
    for (size_t n = 0; n < lines.size(); ++n) text += (n ? "\n" : "") + lines[n];
    WriteFile(path, text);
  }

  ASSERT_EQ(run.State.Queue.Count(), static_cast<int32_t>(std::size(kQueue)));
  for (int32_t i = 0; i < run.State.Queue.Count(); ++i) {
    const TRetriveRec& e = run.At(i);
    std::string expected = kQueue[i];
    if (!v.replicate)
      expected.erase(expected.rfind(' ') + 1, expected.rfind('/') - expected.rfind(' '));
    EXPECT_EQ(e.Job.editUrl + " " + std::to_string(e.LinkKind) + " " + std::to_string(e.Depth) +
                  " " + std::to_string(e.ParentIndex) + " " +
                  (e.LocalFolder + e.LocalFileName).substr((dir.Path() + "P/").size()),
              expected);
  }
  const std::string folder = dir.Path() + "P/" + (v.replicate ? "h/site/" : "");
  EXPECT_EQ(ReadFile(folder + "index.html"), v.index);
  EXPECT_EQ(ReadFile(folder + (v.replicate ? "docs/" : "") + "guide.html"), v.guide);
}

const std::string kIndex = kSite.at("http://h/site/index.html");
const std::string kGuide = kSite.at("http://h/site/docs/guide.html");

INSTANTIATE_TEST_SUITE_P(
    Variants, SiteTest,
    ::testing::Values(
        Variant{false, false, false, kIndex, kGuide},
        Variant{
            true, false, false,
            "<html><a href=\"about.html\">About</a> <a href=\"guide.html#intro\">Guide</a>\n"
            "<img src=\"logo.gif\" alt=\"Logo\">\n"
            "<a href=\"http://other/x/page.html\">Other</a> <a href=\"../outside.html\">Out</a>\n"
            "<frame src=\"menu.html\"></html>",
            "<a href=\"about.html\">About</a><img src=\"logo.gif\">\n"
            "<a href=\"deep.html\">Deep</a>"},
        Variant{true, false, true,
                "<html><a href=\"about.html\">About</a> <a href=\"guide.html#intro\">Guide</a>\n"
                "<img src=\"logo.gif\" alt=\"Logo\">\n"
                "<a href=\"http://other/x/page.html\">Other</a> "
                "<a href=\"http://h/outside.html\">Out</a>\n"
                "<frame src=\"menu.html\"></html>",
                "<a href=\"about.html\">About</a><img src=\"logo.gif\">\n"
                "<a href=\"http://h/site/docs/deep.html\">Deep</a>"},
        // Replicated, each link is rewritten to the shortest path between
        // the copies: here the very link the site wrote.
        Variant{true, true, false, kIndex, kGuide}));

}  // namespace
}  // namespace kestrix
