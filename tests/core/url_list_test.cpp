#include "core/url_list.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TRetriveRec EntryFor(const std::string& url) {
  TRetriveRec e;
  e.Job.editUrl = url;
  return e;
}

TEST(UrlListTest, FindIgnoresCaseAndIndicesStayPut) {
  UrlList queue;
  EXPECT_EQ(queue.Find("http://h/"), -1);
  EXPECT_EQ(queue.Append("http://h/", EntryFor("http://h/")), 0);
  const TRetriveRec* first = &queue.Entry(0);
  for (int i = 0; i < 1000; ++i) {
    const std::string url = "http://h/p" + std::to_string(i) + ".html";
    ASSERT_EQ(queue.Find(url), -1);
    ASSERT_EQ(queue.Append(url, EntryFor(url)), i + 1);
  }
  EXPECT_EQ(&queue.Entry(0), first);  // entries do not move as the queue grows
  EXPECT_EQ(queue.Find("HTTP://H/P500.HTML"), 501);
  EXPECT_EQ(queue.Url(501), "http://h/p500.html");
  EXPECT_EQ(queue.Find("http://h/p500.htm"), -1);
  const UrlList moved = std::move(queue);  // a project's state handed on
  EXPECT_EQ(&moved.Entry(0), first);
  EXPECT_EQ(moved.Find("HTTP://H/P500.HTML"), 501);
}

TEST(UrlListTest, AnItemKeepsItsUrlWhenItsEntryMoves) {
  UrlList queue;
  const auto url = [](int i) { return "http://h/" + std::to_string(i); };
  for (int i = 0; i < 2000; ++i) queue.Append(url(i), EntryFor(url(i)));
  for (int i = 0; i < 2000; i += 2) {
    queue.PinUrl(i);
    queue.Entry(i).Job.editUrl = "http://moved/" + std::to_string(i);
    queue.PinUrl(i);  // moved once more: the first URL stays
    queue.Entry(i).Job.editUrl += "/again";
  }
  // Renamed away and back, pinned or not, in a table nearly half full: the
  // index follows every change, and the entry stays as it was.
  for (int i = 0; i < 2000; i += 3) queue.Rename(i, "HTTP://R/" + std::to_string(i));
  for (int i = 0; i < 2000; i += 6) queue.Rename(i, url(i));
  for (int i = 0; i < 2000; ++i) {
    const bool renamed = i % 3 == 0 && i % 6 != 0;
    const std::string now = renamed ? "HTTP://R/" + std::to_string(i) : url(i);
    ASSERT_EQ(queue.Url(i), now);
    ASSERT_EQ(queue.Find(renamed ? "http://r/" + std::to_string(i) : now), i);
    ASSERT_EQ(queue.Find(url(i)), renamed ? -1 : i);
    if (i % 2 == 0) {
      ASSERT_EQ(queue.Find("http://moved/" + std::to_string(i) + "/again"), -1);
    }
  }
  EXPECT_EQ(queue.Entry(3).Job.editUrl, url(3));
}

TEST(UrlListTest, DuplicatesFromAHistoryFileAnswerTheFrontOne) {
  UrlList queue;
  for (int i = 0; i < 3; ++i) queue.Append("http://h/x", EntryFor("http://h/x"));
  EXPECT_EQ(queue.Count(), 3);
  EXPECT_EQ(queue.Find("http://h/X"), 0);
  queue.Rename(0, "http://h/y");
  EXPECT_EQ(queue.Find("http://h/y"), 0);
  queue.Rename(2, "http://h/y");  // never indexed under its old URL
  EXPECT_EQ(queue.Find("http://h/Y"), 0);
}

TEST(UrlListTest, AMovedItemIsFoundUnderItsNewUrlToo) {
  UrlList queue;
  queue.Append("http://h/start", EntryFor("http://h/start"));
  queue.Append("http://h/other", EntryFor("http://h/other"));
  queue.AddAlias(0, "https://h/Index.html");
  queue.AddAlias(0, "http://h/other");        // held by an item of its own: ignored
  queue.AddAlias(1, "https://h/index.html");  // the first alias stays
  queue.AddAlias(5, "http://h/nowhere");      // no such item
  struct Case {
    const char* url;
    int32_t index;
  } cases[] = {{"http://h/start", 0},
               {"HTTPS://H/INDEX.HTML", 0},
               {"http://h/other", 1},
               {"http://h/nowhere", -1},
               {"https://h/index.htm", -1}};
  for (const Case& c : cases) EXPECT_EQ(queue.Find(c.url), c.index) << c.url;
  EXPECT_EQ(queue.Count(), 2);
  EXPECT_EQ(queue.Url(0), "http://h/start");
  queue.Clear();
  EXPECT_EQ(queue.Find("https://h/index.html"), -1);
}

// Entries of one folder hold one text; changing one entry's folder leaves
// the others where they were.
TEST(UrlListTest, EntriesOfOneFolderShareItsText) {
  UrlList queue;
  const char* folders[] = {"/dl/P/h/", "/dl/P/other/", "/dl/P/h/"};
  for (int i = 0; i < 3; ++i) {
    TRetriveRec entry = EntryFor("http://h/" + std::to_string(i));
    entry.LocalFolder = std::string(folders[i]);
    queue.Append(entry.Job.editUrl, entry);
  }
  EXPECT_TRUE(queue.Entry(0).LocalFolder.SharesWith(queue.Entry(2).LocalFolder));
  EXPECT_TRUE(queue.SharedFolder("/dl/P/h/").SharesWith(queue.Entry(0).LocalFolder));
  queue.Entry(2).LocalFolder += "moved/";
  EXPECT_EQ(queue.Entry(0).LocalFolder, "/dl/P/h/");
  EXPECT_EQ(queue.Entry(1).LocalFolder, "/dl/P/other/");
  EXPECT_EQ(queue.Entry(2).LocalFolder, "/dl/P/h/moved/");
}

TEST(UrlListTest, ClearingTheQueueAlsoFreesTheUsedNames) {
  TEngineState state;
  state.Queue.Append("http://h/", EntryFor("http://h/"));
  state.Names.Add("/dl/P/index.html");
  state.ClearQueue();
  EXPECT_EQ(state.Queue.Count(), 0);
  EXPECT_FALSE(state.Names.Contains("/dl/P/index.html"));
  EXPECT_EQ(state.Queue.Append("http://h/", EntryFor("http://h/")), 0);
}

TEST(UrlListTest, StartingUrlIsAppendedOnce) {
  UrlList queue;
  TJobRecord job;
  job.ProjectName = "P";
  job.editDepth = 3;
  const std::string body = "a=1";
  EXPECT_EQ(AppendStartUrl(queue, job, 2, "http://h/", "/dl/P/", &body), 0);
  EXPECT_EQ(AppendStartUrl(queue, job, 2, "HTTP://H/", "/dl/P/"), -1);
  ASSERT_EQ(queue.Count(), 1);
  const TRetriveRec& e = queue.Entry(0);
  EXPECT_EQ(e.Job.editUrl, "http://h/");
  EXPECT_EQ(e.StartUrl, "http://h/");
  EXPECT_EQ(e.Job.editDepth, 3);
  EXPECT_EQ(e.JobNumber, 2);
  EXPECT_EQ(e.RequestMethod, 2);
  EXPECT_EQ(e.PostData, "a=1");
  EXPECT_EQ(e.LocalFolder, "/dl/P/");
  EXPECT_EQ(e.ParentIndex, -1);

  const TEntryJob shared(job);
  AppendStartUrl(queue, shared, 2, "http://h/1", "/dl/P/");
  AppendStartUrl(queue, shared, 2, "http://h/2", "/dl/P/");
  EXPECT_TRUE(queue.Entry(1).Job.SharesSettingsWith(queue.Entry(2).Job));
  EXPECT_EQ(queue.Entry(2).Job.editUrl, "http://h/2");
}

TEST(EntryJobTest, CopiesShareSettingsUntilOneChanges) {
  TJobRecord record;
  record.lcleditRetriveFile = "*.html";
  record.editUrl = "http://h/";
  TEntryJob a(record);
  TEntryJob b = a;
  b.editUrl = "http://h/b";
  b.editDepth = 7;
  EXPECT_TRUE(a.SharesSettingsWith(b));
  EXPECT_EQ(a.editUrl, "http://h/");
  EXPECT_EQ(a.editDepth, 1);
  b.MutableSettings().lcleditRetriveFile = "*.gif";
  EXPECT_FALSE(a.SharesSettingsWith(b));
  EXPECT_EQ(a->lcleditRetriveFile, "*.html");
  EXPECT_EQ(b.Record().lcleditRetriveFile, "*.gif");
  EXPECT_EQ(b.Record().editUrl, "http://h/b");
  EXPECT_EQ(b.Record().editDepth, 7);
}

}  // namespace
}  // namespace kestrix
