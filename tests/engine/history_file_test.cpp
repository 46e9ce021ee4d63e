#include "engine/history_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "core/ini_file.h"
#include "core/job_list.h"
#include "http/socket_errors.h"
#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::ReplaceAll;
using test::TScratchDir;
using test::WriteFile;

class HistoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.AddProject("Docs");
    TJobRecord job;
    job.ProjectName = "Docs";
    job.editUrl = "http://h/";
    job.editDepth = 4;
    job.lcleditRetriveFile = "*.html";
    store_.AddJob(job);
  }
  // Queues `url` with the other fields of `e`.
  static void Add(TEngineState& state, const std::string& url, TRetriveRec e = {}) {
    e.Job.editUrl = url;
    state.Queue.Append(url, e);
  }
  THistoryLoad Decode(const std::string& bytes, TEngineState& into) {
    return DecodeHistory(bytes, "Docs", dir_.Path() + "Docs/", store_, into);
  }

  TScratchDir dir_;
  IniFile ini_{dir_ / "kestrix.ini"};
  TJobList store_{ini_, IniDocument()};
};

TEST_F(HistoryFileTest, AnEntryOfEmptyStringsTakes68BytesPlusItsUrl) {
  TEngineState state;
  Add(state, "http://h/");
  state.ProcessedCount = 1;
  state.NextIndex = 1;
  const std::string bytes = EncodeHistory(state);
  ASSERT_EQ(bytes.size(), 12u + 68u + 9u);
  EXPECT_EQ(bytes.substr(0, 12), std::string("\1\0\0\0\1\0\0\0\1\0\0\0", 12));
  EXPECT_EQ(bytes.substr(12, 13), std::string("\x09\0\0\0http://h/", 13));
  // GET, on the starting server, local scope, not HTML; parent -1, depth 1.
  EXPECT_EQ(bytes.substr(25, 4), std::string("\1\0\1\0", 4));
  EXPECT_EQ(bytes.substr(12 + 13 + 4 + 4 + 20 + 8 + 16, 8),
            std::string("\xff\xff\xff\xff\1\0\0\0", 8));
}

TEST_F(HistoryFileTest, SavedQueueLoadsBackWithSettingsFromTheStoreAndStartAliases) {
  TEngineState state;
  TRetriveRec e;
  e.JobNumber = 1;
  e.Job.editDepth = 2;
  e.RequestMethod = 2;
  e.RemoteFlag = e.IsHtml = 1;
  e.LocalScopeFlag = 0;
  e.LinkKind = 1;
  e.LinkedText = "A";
  e.PostData = "x=1";
  e.StartUrl = "http://h/";
  e.LocalFolder = dir_.Path() + "Docs/";
  e.LocalFileName = "a.html";
  e.LastModified = 45000.5;
  e.ContentSize = 1000;
  e.ReceivedSize = 400;
  e.Depth = 3;
  e.ParentIndex = 0;
  e.ErrorCode = WSAECONNABORTED;
  Add(state, "http://h/a.html", e);
  e.JobNumber = 7;  // a job that no longer exists
  Add(state, "http://h/b.html", e);
  TRetriveRec start;  // a start that was relocated
  start.JobNumber = 1;
  start.StartUrl = "https://h/index.html";
  start.LocalFolder = dir_.Path() + "Docs/";
  state.Queue.Append("http://h/start", start);
  state.ProcessedCount = 1;
  state.NextIndex = 2;
  ASSERT_TRUE(SaveHistory(dir_.Path(), "Docs", state));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Docs/Docs.his"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Docs/Docs.his.tmp"));

  TEngineState loaded;
  EXPECT_TRUE(LoadHistory(dir_.Path(), "Docs", &store_, loaded).Complete);
  ASSERT_EQ(loaded.Queue.Count(), 3);
  EXPECT_EQ(loaded.ProcessedCount, 1);
  EXPECT_EQ(loaded.NextIndex, 2);
  const TRetriveRec& a = loaded.Queue.Entry(0);
  EXPECT_EQ(a.Job.editDepth, 2);  // the stored depth still allowed, not the job's 4
  EXPECT_EQ(a.Job->lcleditRetriveFile, "*.html");
  EXPECT_EQ(loaded.Queue.Entry(1).Job->lcleditRetriveFile, "");  // defaults for a missing job
  EXPECT_EQ(loaded.Queue.Find("HTTP://H/B.HTML"), 1);
  // The start is found under where it moved too; a child names its job's start: no alias.
  EXPECT_EQ(loaded.Queue.Find("https://h/index.html"), 2);
  EXPECT_EQ(loaded.Queue.Find("http://h/start"), 2);
  EXPECT_EQ(loaded.Queue.Find("http://h/"), -1);
  // All else comes back as it was saved.
  EXPECT_EQ(EncodeHistory(loaded), EncodeHistory(state));
}

TEST_F(HistoryFileTest, EmptyQueueNeverOverwritesAndMissingFileLoadsNothing) {
  std::filesystem::create_directory(dir_ / "Docs");
  WriteFile(dir_ / "Docs/Docs.his", "old");
  EXPECT_FALSE(SaveHistory(dir_.Path(), "Docs", TEngineState{}));
  EXPECT_EQ(ReadWholeFile(dir_ / "Docs/Docs.his"), "old");
  TEngineState state;
  state.ProcessedCount = 5;
  EXPECT_FALSE(LoadHistory(dir_.Path(), "Other", &store_, state).Found);
  EXPECT_EQ(state.ProcessedCount, 0);
  EXPECT_FALSE(LoadHistory(dir_.Path(), "Docs", nullptr, state).Found);
}

// A large queue is written in pieces: the file holds the bytes of the whole
// encoding, and a disk that fills up midway keeps the previous file.
TEST_F(HistoryFileTest, LargeQueueSavesWholeOrNotAtAll) {
  TEngineState state;
  for (int i = 0; i < 5000; ++i) {
    TRetriveRec e;
    e.LinkedText = "the text of link " + std::to_string(i);
    Add(state, "http://h/" + std::to_string(i) + ".html", e);
  }
  ASSERT_TRUE(SaveHistory(dir_.Path(), "Docs", state));
  const std::string path = dir_ / "Docs/Docs.his";
  const std::string saved = ReadWholeFile(path);
  EXPECT_EQ(saved, EncodeHistory(state));
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  state.ProcessedCount = 9;
  EXPECT_FALSE(SaveHistory(dir_.Path(), "Docs", state));
  EXPECT_EQ(ReadWholeFile(path), saved);
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));
}

// Jobs 1 and 3 swap places and job 2 is deleted: each record follows its
// job, and every other byte, those after the records included, stays.
TEST_F(HistoryFileTest, RenumberingRewritesOnlyTheJobNumbers) {
  TEngineState state;
  for (const int32_t job : {1, 2, 3, 0, 7}) {
    TRetriveRec e;
    e.JobNumber = job;
    e.Job.editDepth = 5;
    e.LinkedText = "text of " + std::to_string(job);
    state.Queue.Append("http://h/" + std::to_string(job), e);
  }
  std::filesystem::create_directory(dir_ / "Docs");
  const std::string bytes = EncodeHistory(state);
  const std::string cut = bytes.substr(12, 30);
  WriteFile(dir_ / "Docs/Docs.his", bytes + cut);
  const auto swap = [](int32_t job) { return job == 1 ? 3 : job == 3 ? 1 : job == 2 ? 0 : job; };
  ASSERT_TRUE(RenumberHistoryJobs(dir_.Path(), "Docs", swap));

  const std::string renumbered = ReadWholeFile(dir_ / "Docs/Docs.his");
  for (int32_t i = 0; i < state.Queue.Count(); ++i) {
    state.Queue.Entry(i).JobNumber = swap(state.Queue.Entry(i).JobNumber);
  }
  EXPECT_EQ(renumbered, EncodeHistory(state) + cut);
  EXPECT_TRUE(RenumberHistoryJobs(dir_.Path(), "Other", swap));  // no file: nothing to do
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Other"));
}

TEST(JobNumbers, FollowAMoveOrARemoval) {
  // Job 1 of four moved to 3, and back; job 2 of four removed.
  const int32_t moved[] = {3, 1, 2, 4}, back[] = {2, 3, 1, 4}, removed[] = {1, 0, 2, 3};
  for (int32_t job = 1; job <= 4; ++job) {
    EXPECT_EQ(JobNumberAfterMove(job, 1, 3), moved[job - 1]) << job;
    EXPECT_EQ(JobNumberAfterMove(job, 3, 1), back[job - 1]) << job;
    EXPECT_EQ(JobNumberAfterRemoval(job, 2), removed[job - 1]) << job;
  }
}

// The file's form of a number, as this (little-endian) host holds it.
std::string Int(int32_t v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST_F(HistoryFileTest, UntrustedFilesEndLoadingAtTheBadRecord) {
  TEngineState good;
  for (const char* url : {"http://h/1", "http://h/2", "http://h/3"}) Add(good, url);
  good.NextIndex = 3;
  good.ProcessedCount = 3;
  const std::string bytes = EncodeHistory(good);
  const size_t record = (bytes.size() - 12) / 3;
  struct Case {
    std::string bytes;
    int32_t entries;
  };
  const Case cases[] = {
      {bytes.substr(0, bytes.size() - 1), 2},                                   // cut short
      {bytes.substr(0, 12 + record) + Int(-5) + bytes.substr(16 + record), 1},  // negative length
      {bytes.substr(0, 12 + record) + Int(0x7fffffff) + bytes.substr(16 + record), 1},
      {Int(-1) + bytes.substr(4), 0},          // negative count
      {Int(0x7fffffff) + bytes.substr(4), 3},  // count beyond the file
      {bytes.substr(0, 7), 0},                 // header cut short
  };
  for (const Case& c : cases) {
    TEngineState state;
    const THistoryLoad result = Decode(c.bytes, state);
    EXPECT_EQ(result.Entries, c.entries);
    EXPECT_EQ(state.Queue.Count(), c.entries);
    EXPECT_LE(state.NextIndex, state.Queue.Count());
    EXPECT_LE(state.ProcessedCount, state.Queue.Count());
  }
}

// The blocks after the records (sizes of 2 GiB and more, outcomes of failed
// entries, entity tags, POST body types) survive a save. Each is optional
// and a reader takes the outcomes and tags in either order; a reader that
// knows fewer blocks stops where its knowledge ends, and an entry then has
// no status, no tag, no body type or an unknown length.
TEST_F(HistoryFileTest, TrailingBlocksRoundTripInEitherOrderAndAbsent) {
  TEngineState state;
  TRetriveRec e;
  e.LocalFolder = dir_.Path() + "Docs/h/";
  e.LocalFileName = "big.iso";
  e.ContentSize = 3000000000;
  e.ReceivedSize = 2500000000;
  e.ETag = "W/\"5f-1a\"";
  Add(state, "http://h/big.iso", e);
  e.ContentSize = e.ReceivedSize = 0;
  e.ETag.clear();
  e.StatusCode = 404;
  e.CapLimit = 20 << 20;
  e.RequestMethod = kMethodPost;
  e.PostData = "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--b--\r\n";
  e.PostContentType = "multipart/form-data; boundary=b";
  Add(state, "http://h/gone.html", e);
  const std::string bytes = EncodeHistory(state);
  const size_t sizes = bytes.find(kLargeSizesMagic);
  const size_t outcomes = bytes.find(kOutcomesMagic);
  const size_t tags = bytes.find(kEntityTagsMagic);
  const size_t types = bytes.find(kPostTypesMagic);
  ASSERT_TRUE(sizes < outcomes && outcomes < tags && tags < types && types != std::string::npos);
  const std::string swapped =
      bytes.substr(0, outcomes) + bytes.substr(tags) + bytes.substr(outcomes, tags - outcomes);
  struct Case {
    const char* name;
    std::string bytes;
    int64_t size;
    int32_t status;
    const char* tag;
    const char* type;
  };
  const char* multipart = "multipart/form-data; boundary=b";
  const Case cases[] = {
      {"all blocks", bytes, 3000000000, 404, "W/\"5f-1a\"", multipart},
      {"tags before outcomes", swapped, 3000000000, 404, "W/\"5f-1a\"", multipart},
      {"no post types", bytes.substr(0, types), 3000000000, 404, "W/\"5f-1a\"", ""},
      {"no tags", bytes.substr(0, tags), 3000000000, 404, "", ""},
      {"sizes only", bytes.substr(0, outcomes), 3000000000, -1, "", ""},
      {"plain records", bytes.substr(0, sizes), -1, -1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TEngineState loaded;
    ASSERT_EQ(Decode(c.bytes, loaded).Entries, 2);
    EXPECT_EQ(loaded.Queue.Entry(0).ContentSize, c.size);
    EXPECT_EQ(loaded.Queue.Entry(0).ETag, c.tag);
    EXPECT_EQ(loaded.Queue.Entry(1).StatusCode, c.status);
    EXPECT_EQ(loaded.Queue.Entry(1).CapLimit, c.status < 0 ? 0 : 20 << 20);
    EXPECT_EQ(loaded.Queue.Entry(1).PostContentType.str(), c.type);
  }
  TEngineState loaded;
  Decode(bytes, loaded);
  EXPECT_EQ(EncodeHistory(loaded), bytes);
  // A body beyond 32 bits that announced no length needs the block too.
  TEngineState unknown, back;
  e.ContentSize = -1;
  e.ReceivedSize = 5000000000;
  Add(unknown, "http://h/gone.html", e);
  Decode(EncodeHistory(unknown), back);
  EXPECT_EQ(back.Queue.Entry(0).ReceivedSize, 5000000000);
}

// Every file named by a history file must lie inside the project folder, and
// is kept in the clean form that was checked; a date no HTTP date can carry is
// dropped, and a size no file can have is floored.
TEST_F(HistoryFileTest, EntriesOutsideTheProjectFolderAreRefusedAndBadDatesDropped) {
  const std::string project = dir_.Path() + "Docs/";
  std::vector<std::vector<std::string>> cases = test::ReadRows("engine/history_folders.txt");
  ASSERT_GE(cases.size(), 13u);
  for (auto& c : cases)
    c[0] = ReplaceAll(ReplaceAll(c[0], "{project}", project), "{scratch}", dir_.Path());
  const double dates[] = {45000.5, std::nan(""), 1e300, -3,
                          std::numeric_limits<double>::infinity()};
  TEngineState state;
  std::vector<std::string> expected;
  int i = 0;
  for (const auto& c : cases) {
    TRetriveRec e;
    e.LocalFolder = c[0];
    e.LocalFileName = c[1];
    e.LastModified = dates[static_cast<size_t>(i) % std::size(dates)];
    e.ReceivedSize = -1 - i;
    Add(state, "http://h/" + std::to_string(i), e);
    if (c[2] == "yes") expected.push_back("http://h/" + std::to_string(i));
    ++i;
  }
  TEngineState loaded;
  const THistoryLoad result = Decode(EncodeHistory(state), loaded);
  EXPECT_TRUE(result.Complete);
  std::vector<std::string> kept;
  for (int32_t k = 0; k < loaded.Queue.Count(); ++k) {
    kept.emplace_back(loaded.Queue.Url(k));
    const double date = loaded.Queue.Entry(k).LastModified;
    EXPECT_TRUE(date == 0 || date == 45000.5) << date;
    const std::string& folder = loaded.Queue.Entry(k).LocalFolder;
    EXPECT_TRUE(folder.empty() || (folder.starts_with(project) && folder.ends_with('/') &&
                                   folder.find("/../") == std::string::npos))
        << folder;
    EXPECT_EQ(loaded.Queue.Entry(k).ReceivedSize, 0);
  }
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(result.Refused.size(), cases.size() - expected.size());
  EXPECT_NE(result.Refused[0].find("lies outside the project folder"), std::string::npos);
}

}  // namespace
}  // namespace kestrix
