// Crawls against our fault server, one case a record of
// tests/fixtures/scenarios/crawls.txt, whose header says what its lines do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/file_util.h"
#include "core/ini_file.h"
#include "engine/cookie_file.h"
#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/case_file.h"
#include "tests/support/event_wait.h"

namespace kestrix::test {

namespace {

namespace fs = std::filesystem;

// "N" or "N-M".
void ExpectCount(int64_t count, const std::string& range, const std::string& what) {
  const size_t dash = range.find('-', 1);
  const int64_t low = std::stoll(range.substr(0, dash));
  const int64_t high = dash == std::string::npos ? low : std::stoll(range.substr(dash + 1));
  EXPECT_TRUE(count >= low && count <= high) << what << ": " << count << ", not " << range;
}

// The fault server's counted document: 1000 bytes "000|001|...|249|".
std::string Counted() {
  std::string text;
  for (int i = 1000; i < 1250; ++i) text += std::to_string(i).substr(1) + "|";
  return text;
}

void EditJob(TJobRecord& job, const std::string& words) {
  for (const std::string& word : Split(words, " ")) {
    if (word.starts_with("depth=")) job.editDepth = std::stoi(word.substr(6));
    if (word.starts_with("mask=")) job.lcleditRetriveFile = word.substr(5);
    job.lclCheckRetriveFile |= word.starts_with("mask=");
    job.checkLocalize &= word != "nolocal";
    job.lclcheckKoi8 |= word == "koi8";
    job.checkLoadScript |= word == "scripts";
    job.radioThisServer |= word == "server";
    job.radioThisPath &= word != "server";
  }
}

// "KEY=VALUE": a key of the settings file, read as the program reads it.
void SetOption(TGlobalOptions& o, const std::string& line) {
  const std::vector<std::string> kv = Split(line, "=");
  IniDocument doc;
  WriteOptions(doc, o);
  ASSERT_NE(doc.ReadString("Options", kv[0], "-"), "-") << "no option " << kv[0];
  doc.WriteString("Options", kv[0], kv.at(1));
  TGlobalOptions read = ReadOptions(doc, o.DownLoadFolder);
  read.CookieImport = o.CookieImport;  // never stored
  read.CookieExport = o.CookieExport;
  o = read;
}

// Ways to make the disk refuse the download.
void Spoil(TEngineHarness& e, const std::string& how) {
  if (how == "download folder below a file") {
    std::ofstream(e.Dir.Path() + "plain");
    e.Options.DownLoadFolder = e.Dir.Path() + "plain/dl/";
    return;
  }
  fs::create_directories(e.ProjectFolder());
  if (how == "folder at sized") fs::create_directories(e.ProjectFolder() + "sized");
  if (how == "full disk at sized") fs::create_symlink("/dev/full", e.ProjectFolder() + "sized");
  if (how == "read-only project") chmod(e.ProjectFolder().c_str(), 0555);
}

// The cases named "GROUP: CASE", by group.
struct TCrawlGroup {
  std::string Name;
  std::vector<CaseRecord> Cases;
};

std::vector<TCrawlGroup> CrawlGroups() {
  std::vector<TCrawlGroup> groups;
  for (CaseRecord& c : ReadCases("scenarios/crawls.txt")) {
    const size_t colon = c.Name.find(": ");
    if (groups.empty() || groups.back().Name != c.Name.substr(0, colon)) {
      groups.push_back({c.Name.substr(0, colon), {}});
    }
    c.Name.erase(0, colon + 2);
    groups.back().Cases.push_back(c);
  }
  return groups;
}

void PrintTo(const TCrawlGroup& group, std::ostream* out) {
  *out << group.Name;
}

class ScenarioTest : public TScenarioCrawlTest, public ::testing::WithParamInterface<TCrawlGroup> {
 protected:
  static void TearDownTestSuite() {
    TScenarioCrawlTest::TearDownTestSuite();
    other_.reset();
  }
  // Runs one line of the record.
  void Line(const std::string& key, const std::string& value);
  TRetriveRec& Row() { return engine_->Entry(row_ - 1); }
  std::string RowFile() { return Row().LocalFolder + Row().LocalFileName; }
  // The requests the server (or with "other ", the second site) logged
  // since the case began whose request line starts with `line`.
  std::vector<TRecordedRequest> Asked(const std::string& line) {
    return Requests(line, toOther_ ? otherFrom_ : from_, toOther_ ? other_.get() : nullptr);
  }

  std::unique_ptr<TEngineHarness> engine_;
  std::string job_;  // the words of the "job" line
  int threads_ = 1, row_ = 1;
  size_t from_ = 0, otherFrom_ = 0;
  bool toOther_ = false;
  inline static std::string routes_;
  inline static std::unique_ptr<TFaultServer> other_;
};

void ScenarioTest::Line(const std::string& line, const std::string& text) {
  toOther_ = line.starts_with("other ");
  const std::string key = toOther_ ? line.substr(6) : line;
  const std::string value = server_ ? ReplaceAll(text, "{base}", server_->BaseUrl()) : text;
  const std::vector<std::string> fields = Split(value, " | ");
  if (key == "routes") {
    // A second site stands for OTHER_SITE in the routes.
    std::string routes = ScenarioFile(value);
    if (routes.find("OTHER_SITE") != std::string::npos && !other_) {
      other_ = std::make_unique<TFaultServer>(ScenarioFile("other_site.json"));
      ASSERT_TRUE(other_->Start()) << other_->Error();
    }
    if (other_) routes = ReplaceAll(routes, "OTHER_SITE", other_->BaseUrl());
    if (routes_ != value) server_.reset();
    if (!server_) {
      ASSERT_TRUE(Serve(routes)) << server_->Error();
    }
    routes_ = value;
    from_ = server_->Requests().size();
    otherFrom_ = other_ ? other_->Requests().size() : 0;
  } else if (key == "threads") {
    threads_ = std::stoi(value);
  } else if (key == "job") {
    job_ = value;
  } else if (key == "target") {
    engine_ = Engine(value, threads_, [this](TJobRecord& job) { EditJob(job, job_); });
  }
  if (key == "routes" || key == "threads" || key == "job" || key == "target" || key == "skip") {
    return;
  }
  ASSERT_NE(engine_, nullptr) << "no target before " << key;
  TEngineHarness& e = *engine_;
  const auto n = [](int64_t v) { return std::to_string(v); };
  const auto join = [](const std::vector<std::string>& parts, const std::string& by) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : by) + part;
    return text;
  };
  const char* const stops[] = {"none", "files", "bytes", "time", "disk full", "folder not made"};
  // What an expectation line names, as its value writes it.
  const std::map<std::string, std::function<std::string()>> facts = {
      {"error", [&] { return n(Row().ErrorCode); }},
      {"size", [&] { return n(Row().ContentSize); }},
      {"received", [&] { return n(Row().ReceivedSize); }},
      {"method", [&] { return n(Row().RequestMethod); }},
      {"saved", [&] { return ReadWholeFile(RowFile()); }},
      {"saved size", [&] { return n(LocalFileSize(RowFile())); }},
      {"file", [&] { return Row().LocalFileName; }},
      {"url", [&] { return std::string(e.Queue().Url(row_ - 1)); }},
      {"job url", [&] { return Row().Job.editUrl; }},
      {"start url", [&] { return std::string(Row().StartUrl.str()); }},
      {"state", [&] { return e.Observer.Cell(row_, 4); }},
      {"queued", [&] { return n(e.Queue().Count()); }},
      {"finished", [&] { return n(static_cast<int64_t>(e.Observer.Finished.size())); }},
      {"robots refused", [&] { return n(e.State->RobotsRefused); }},
      {"notices", [&] { return join(e.Observer.Errors, " | "); }},
      {"stop", [&] { return std::string(stops[static_cast<int>(e.Control->LastStop().Cause)]); }},
      {"files", [&] { return join(FilesBelow(e.ProjectFolder()), " "); }},
      {"traps",
       [&] {
         const auto& traps = e.State->TrapRefusals;
         return n(traps[0]) + " " + n(traps[1]) + " " + n(traps[2]);
       }},
  };
  if (facts.count(key)) {
    EXPECT_EQ(facts.at(key)(), value == "@counted" ? Counted() : value);
  } else if (key == "option") {
    SetOption(e.Options, value);
  } else if (key == "export cookies") {
    e.Options.CookieExport = e.Dir.Path() + "exported.txt";
  } else if (key == "cookie file") {
    e.Options.CookieImport = e.Dir.WriteFile("cookies.txt", value);
  } else if (key == "jar has") {
    // The project's jar and the file asked for, for their owner only.
    for (const std::string& jar :
         {CookieJarPath(e.Options.DownLoadFolder, kProject), e.Options.CookieExport}) {
      struct stat st {};
      ASSERT_EQ(::stat(jar.c_str(), &st), 0) << jar;
      EXPECT_EQ(st.st_mode & 0777, 0600u) << jar;
      EXPECT_NE(ReadWholeFile(jar).find(value), std::string::npos) << jar;
    }
  } else if (key == "spoil") {
    Spoil(e, value);
  } else if (key == "mirror") {
    ASSERT_TRUE(e.Mirror());
  } else if (key == "stop in") {
    ASSERT_TRUE(e.Control->StartJob(kProject, 1));
    const auto arriving = [&] {
      for (int slot = 0; slot < threads_; ++slot) {
        const TJobThread* worker = e.Control->Worker(slot);
        if (worker && worker->URL.ends_with(value) && worker->ReceivedCount() > 0) return true;
      }
      return false;
    };
    ASSERT_TRUE(RunUntil(arriving, 20000));
    e.Control->StopDownload();
    ASSERT_TRUE(RunUntil([&] { return !e.Control->IsBusy(); }, 10000));
  } else if (key == "continue") {
    e.Control->ContinueAborted();
    ASSERT_TRUE(e.RunToEnd());
  } else if (key == "post") {
    ASSERT_TRUE(e.Control->StartJob(kProject, 1, true, value));
    ASSERT_TRUE(e.RunToEnd());
  } else if (key == "start refused") {
    EXPECT_FALSE(e.Control->StartJob(kProject, 1));
  } else if (key == "restart") {
    e.Restart();
  } else if (key == "queue link") {  // as a history file brings back a link found before
    TRetriveRec link;
    link.Job.editUrl = value;
    link.ParentIndex = link.JobNumber = 1;
    link.LocalFolder = e.ProjectFolder();
    link.LocalFileName = "linked.html";
    e.Queue().Append(value, link);
  } else if (key == "cut") {
    fs::resize_file(RowFile(), std::stoull(value));
  } else if (key == "row") {
    row_ = std::stoi(value);
  } else if (key == "found at row") {
    EXPECT_EQ(e.Queue().Find(value) + 1, row_);
  } else if (key == "state has") {
    EXPECT_NE(e.Observer.Cell(row_, 4).find(value), std::string::npos) << e.Observer.Cell(row_, 4);
  } else if (key.starts_with("cell ")) {
    EXPECT_EQ(e.Observer.Cell(row_, std::stoi(key.substr(5))), value);
  } else if (key.starts_with("state text ")) {
    EXPECT_EQ(e.Observer.StateTexts[row_].at(std::stoul(key.substr(11))), value);
  } else if (key == "processed") {
    ExpectCount(e.State->ProcessedCount, value, key);
  } else if (key == "all ok") {
    for (int32_t i = 0; i < e.Queue().Count(); ++i) EXPECT_EQ(e.Entry(i).ErrorCode, 0) << i;
  } else if (key == "notice has") {
    ASSERT_FALSE(e.Observer.Errors.empty());
    EXPECT_NE(e.Observer.Errors.back().find(value), std::string::npos) << e.Observer.Errors.back();
  } else if (key == "history") {
    EXPECT_TRUE(fs::exists(HistoryFilePath(e.Options.DownLoadFolder, kProject)));
  } else if (key == "requests") {
    ExpectCount(static_cast<int64_t>(Asked(fields[0]).size()), fields[1], fields[0]);
  } else if (key == "header") {
    // Request i's value is field i + 2; "-": no such header; a last field
    // "..." repeats the value before it for every later request.
    const std::vector<TRecordedRequest> asked = Asked(fields[0]);
    const bool repeat = fields.back() == "...";
    const size_t values = fields.size() - 2 - (repeat ? 1 : 0);
    for (size_t i = 0; i < asked.size() && (i < values || repeat); ++i) {
      const std::string& want = fields[2 + std::min(i, values - 1)];
      if (want == "-") {
        EXPECT_FALSE(asked[i].HasHeader(fields[1])) << fields[1] << " of request " << i;
      } else {
        EXPECT_EQ(asked[i].Header(fields[1]), want) << fields[1] << " of request " << i;
      }
    }
  } else if (key == "body") {
    ASSERT_FALSE(Asked(fields[0]).empty());
    EXPECT_EQ(Asked(fields[0])[0].Body, fields[1]);
  } else if (key == "paths") {
    std::vector<std::string> paths;
    for (const TRecordedRequest& r : Asked(fields[0])) {
      paths.push_back(Split(r.RequestLine, " ").at(1));
    }
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected = Split(fields[1], " ");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
  } else if (key == "gap") {
    const std::vector<TRecordedRequest> asked = Asked(fields[0]);
    for (size_t i = 1; i < asked.size(); ++i) {
      EXPECT_GE(asked[i].Time - asked[i - 1].Time, std::stod(fields[1])) << asked[i].RequestLine;
    }
  } else if (key == "open") {
    for (const TRecordedRequest& r : Asked(fields[0])) {
      EXPECT_LE(r.Open, std::stoi(fields[1])) << r.RequestLine;
    }
  } else {
    FAIL() << "unknown line " << key;
  }
}

// One server for the group's cases, the routes file of the first.
TEST_P(ScenarioTest, Crawls) {
  ASSERT_GE(GetParam().Cases.size(), 1u);
  for (const CaseRecord& c : GetParam().Cases) {
    SCOPED_TRACE(c.Name);
    if (c.Get("skip") == "as root" && geteuid() == 0) continue;  // root writes anyway
    engine_.reset();
    job_.clear();
    threads_ = row_ = 1;
    for (const auto& [key, value] : c.Fields) {
      SCOPED_TRACE(key + ": " + value);
      Line(key, value);
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(CrawlGroups()),
                         [](const ::testing::TestParamInfo<TCrawlGroup>& info) {
                           std::string name = info.param.Name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
}  // namespace kestrix::test
