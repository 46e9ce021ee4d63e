// Whole downloads of a generated site served by nginx: what is saved, how the
// saved pages link, the update run, and the same result whatever the number
// of workers.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <set>

#include "core/url_split.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/local_link.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;

// The bench's site generator, kept in the checkout so that a fresh clone
// runs these tests too.
constexpr const char* kGenerator = KESTRIX_SOURCE_DIR "/bench/gen-site.py";

// Each file of a generated site by its path on the server: its size, and
// whether a job rewrites it (pages and style sheets).
struct TSiteFile {
  int64_t Size = 0;
  bool Rewritten = false;
};
using TManifest = std::map<std::string, TSiteFile>;

TManifest SiteFiles(const std::string& root) {
  TManifest files;
  for (const std::string& path : FilesBelow(root)) {
    files[path] = {static_cast<int64_t>(fs::file_size(root + path)),
                   path.ends_with(".html") || path.ends_with(".css")};
  }
  return files;
}

// The path of an entry's URL on the server, without query: what the
// manifest names it by.
std::string ServerPath(const std::string& url) {
  std::string path = SplitUrl(url).Path;
  path = path.substr(0, path.find('?'));
  if (path.empty() || path.back() == '/') path += "index.html";
  return path.substr(1);
}

using TResult = std::map<std::string, std::string>;

class MirrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kGenerator)) {
      GTEST_SKIP() << "no site generator at " << kGenerator;
    }
    nginx_ = std::make_unique<TNginxServer>(site_.Path() + "www");
    ASSERT_TRUE(nginx_->Start()) << nginx_->Error();
    other_ = std::make_unique<TNginxServer>(site_.Path() + "other");
    ASSERT_TRUE(other_->Start()) << other_->Error();
    const std::string command = std::string("python3 '") + kGenerator + "' --pages 60 --port " +
                                std::to_string(nginx_->Port()) + " --port2 " +
                                std::to_string(other_->Port()) + " '" + site_.Path() +
                                "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    manifests_ = {SiteFiles(site_.Path() + "www/"), SiteFiles(site_.Path() + "other/")};
    ASSERT_FALSE(manifests_[0].empty()) << "gen-site.py failed";
  }

  std::unique_ptr<TEngineHarness> Engine(int threads) {
    auto engine = std::make_unique<TEngineHarness>(threads);
    TJobRecord job;
    job.editUrl = nginx_->BaseUrl() + "/";
    job.editDepth = 20;
    // The start is the site's root: its path takes in the whole main site
    // and keeps out the second one, which only the port sets apart.
    job.radioThisPath = job.checkLoadImg = job.checkLoadStyle = job.checkLoadScript = true;
    job.checkLoadEmbed = job.checkLocalize = job.checkReplicate = true;
    engine->AddJob(job);
    return engine;
  }

  // Every linked file of the main site (and those of the second it links to)
  // is saved whole, once, nothing else is saved, and the saved pages link to
  // saved files. `result` gets each URL's outcome and, but for pages, bytes.
  void ExpectCompleteMirror(TEngineHarness& engine, TResult* result = nullptr) {
    TResult outcomes;
    std::set<std::string> saved, seen;
    int links = 0;
    for (int i = 0; i < engine.Queue().Count(); ++i) {
      const TRetriveRec& entry = engine.Entry(i);
      SCOPED_TRACE(entry.Job.editUrl);
      EXPECT_EQ(entry.ErrorCode, 0);
      const bool main = entry.Job.editUrl.starts_with(nginx_->BaseUrl() + "/");
      EXPECT_TRUE(main || entry.Job.editUrl.starts_with(other_->BaseUrl() + "/"));
      const TManifest& manifest = manifests_[main ? 0 : 1];
      const std::string path = ServerPath(entry.Job.editUrl);
      const auto file = manifest.find(path);
      ASSERT_NE(file, manifest.end()) << "not a file of the site: " << path;
      if (main) seen.insert(path);
      const std::string local = entry.LocalFolder + entry.LocalFileName;
      ASSERT_TRUE(fs::is_regular_file(local));
      EXPECT_TRUE(saved.insert(fs::relative(local, engine.ProjectFolder())).second);
      EXPECT_EQ(entry.ReceivedSize, file->second.Size);
      const std::string text = ReadWholeFile(local);
      if (!file->second.Rewritten) {
        EXPECT_EQ(static_cast<int64_t>(text.size()), file->second.Size);
      }
      std::string& outcome = outcomes[entry.Job.editUrl] = std::to_string(entry.ErrorCode) + " " +
                                                           std::to_string(entry.ReceivedSize) +
                                                           " " + std::to_string(entry.IsHtml);
      if (!entry.IsHtml) {
        outcome += " " + text;
        continue;
      }
      for (const std::string& link : LocalLinks(text)) {
        EXPECT_TRUE(fs::is_regular_file(entry.LocalFolder + LinkToPath(link))) << link;
        ++links;
      }
    }
    EXPECT_GT(links, 500);
    for (const auto& [path, file] : manifests_[0]) {
      if (LinkedFromSite(path)) {
        EXPECT_TRUE(seen.count(path)) << path;
      }
    }
    saved.insert(std::string(kProject) + ".his");
    const std::vector<std::string> onDisk = FilesBelow(engine.ProjectFolder());
    EXPECT_EQ(std::set<std::string>(onDisk.begin(), onDisk.end()), saved);
    if (result) *result = outcomes;
  }

  // Whether a page or style sheet of the main site names the file: a job
  // reads links from both (scripts it only runs).
  bool LinkedFromSite(const std::string& path) const {
    const std::string name = fs::path(path).filename().string();
    for (const auto& [page, file] : manifests_[0]) {
      if (file.Rewritten &&
          ReadWholeFile(site_.Path() + "www/" + page).find(name) != std::string::npos)
        return true;
    }
    return false;
  }

  TScratchDir site_;
  std::unique_ptr<TNginxServer> nginx_, other_;
  std::array<TManifest, 2> manifests_;
};

TEST_F(MirrorTest, OneThreeAndTenWorkersSaveTheSameSiteAndUpdateWithConditions) {
  std::unique_ptr<TEngineHarness> engine;
  TResult first, result;
  size_t lastRun = 0;
  for (int threads : {1, 3, 10}) {
    SCOPED_TRACE(threads);
    const size_t before = nginx_->AccessLog().size(), otherBefore = other_->AccessLog().size();
    engine = Engine(threads);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->Observer.Finished.size(), 1u);
    EXPECT_TRUE(engine->Observer.Errors.empty());
    ExpectCompleteMirror(*engine, &result);
    if (threads == 1) first = result;
    EXPECT_EQ(result, first);
    // Each entry was fetched once.
    lastRun = nginx_->AccessLog().size() - before;
    const size_t otherRequests = other_->AccessLog().size() - otherBefore;
    EXPECT_EQ(lastRun + otherRequests, static_cast<size_t>(engine->Queue().Count()));
    // Connections are kept: a worker opens a new one only when its next
    // file is on the other server.
    EXPECT_LE(nginx_->ConnectionsSince(before), threads + otherRequests);
  }

  // The update, as after a restart: every document is asked for with its
  // date and entity tag and none is transferred again; a copy whose server
  // gave no date is still known unchanged by its tag alone.
  for (const bool dated : {true, false}) {
    SCOPED_TRACE(dated ? "date and tag" : "tag only");
    const size_t before = nginx_->AccessLog().size();
    engine->Restart();
    if (!dated) {
      for (int32_t i = 0; i < engine->Queue().Count(); ++i) engine->Entry(i).LastModified = 0;
    }
    ASSERT_TRUE(engine->Mirror());
    const std::vector<std::string> log = nginx_->AccessLog();
    ASSERT_EQ(log.size(), before + lastRun);
    for (size_t i = before; i < log.size(); ++i) {
      EXPECT_EQ(log[i].substr(0, 6), "304 0 ") << log[i];
    }
    ExpectCompleteMirror(*engine);
  }
}

}  // namespace
}  // namespace kestrix::test
