#include "engine/link_pass.h"

#include <gtest/gtest.h>

#include "core/url_list.h"
#include "engine/link_book.h"
#include "http/socket_errors.h"
#include "links/html_items.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;
using test::WriteFile;

// A queue of saved pages, a sheet and the files they link to, as a run
// leaves it: one file failed, one came under the name its type gives, one
// page was saved by an earlier run (the book has not seen it). Each page is
// mended once, by the rules of its own job, and a second pass finds nothing
// left to do.
TEST(LinkPassTest, PagesLinkingToFailedOrRenamedFilesAreMendedOnce) {
  TScratchDir dir;
  const std::string folder = dir.Path();
  TJobRecord toUrl;
  toUrl.checkLocalize = toUrl.checkLinkToUrl = toUrl.checkLoadStyle = true;
  TJobRecord localOnly;
  localOnly.checkLocalize = true;
  struct File {
    const char* name;
    const TJobRecord& job;
    bool page;
    const char* saved;  // null: no file
    const char* mended;
  };
  const File files[] = {
      {"index.html", toUrl, true,
       "<a href=\"gone.html#x\">\n<img src=\"logo\"> <a href=\"ok.html\">",
       "<a href=\"http://h/gone.html#x\">\n<img src=\"logo.png\"> <a href=\"ok.html\">"},
      {"plain.html", localOnly, true, "<a href=gone.html><img src='logo'>",
       "<a href=gone.html><img src='logo.png'>"},
      {"gone.html", toUrl, false, nullptr, nullptr},
      {"logo.png", toUrl, false, "PNG", "PNG"},
      {"ok.html", toUrl, true, "<p>ok</p>", "<p>ok</p>"},
      {"old.html", toUrl, true, "<a href=\"gone.html\"><a href=\"logo\">",
       "<a href=\"http://h/gone.html\"><a href=\"logo.png\">"},
      {"style.css", toUrl, true, "body { background: url(logo) }",
       "body { background: url(logo.png) }"},
  };
  UrlList queue;
  for (const File& file : files) {
    TRetriveRec entry;
    entry.Job = TEntryJob(file.job);
    entry.Job.editUrl = std::string("http://h/") + file.name;
    entry.IsHtml = file.page;
    entry.LinkKind = std::string_view(file.name).ends_with(".css") ? kKindLink : kKindA;
    entry.LocalFolder = folder;
    entry.LocalFileName = file.name;
    queue.Append(entry.Job.editUrl, entry);
    if (file.saved != nullptr) WriteFile(folder + file.name, file.saved);
  }
  queue.Rename(3, "http://h/logo");
  TLinkBook book;
  book.SetPageLinks(0, {2, 3, 4});
  book.SetPageLinks(1, {2, 3});
  book.SetPageLinks(4, {});
  book.SetPageLinks(6, {3});
  book.NoteOutcome(2, false, true);
  book.NoteRenamed(3, folder + "logo");
  book.NoteOutcome(4, true, false);

  const TLinkMending mending = MendSavedLinks(queue, book);
  EXPECT_EQ(mending.Pages, 4);
  EXPECT_EQ(mending.Links, 6);
  EXPECT_EQ(mending.NotWritten, 0);
  EXPECT_EQ(mending.ScriptFilesMissing, 1);
  for (const File& file : files) {
    if (file.mended == nullptr) continue;
    EXPECT_EQ(ReadWholeFile(folder + file.name), file.mended) << file.name;
  }
  EXPECT_EQ(MendSavedLinks(queue, book).Pages, 0);
}

// A queue back from the history: only an entry that failed for good and
// left no file counts as failed, so a page analysed again in a later run
// names it on the web; a cut entry is fetched again, an earlier copy stays.
TEST(LinkPassTest, FailuresOfEarlierRunsAreMendedInPagesAnalysedAgain) {
  TScratchDir dir;
  const std::string folder = dir.Path();
  TJobRecord job;
  job.checkLocalize = job.checkLinkToUrl = true;
  struct Entry {
    const char* name;
    int32_t status;
    int32_t error;
    bool file;
  };
  const Entry entries[] = {
      {"index.html", 200, 0, true},           {"gone.html", 404, 0, false},
      {"cut.html", -1, WSAECONNRESET, false}, {"kept.html", 404, 0, true},
      {"later.html", -1, 0, false},           {"refused.html", -1, WSAECONNREFUSED, false}};
  UrlList queue;
  for (const Entry& e : entries) {
    TRetriveRec entry;
    entry.Job = TEntryJob(job);
    entry.Job.editUrl = std::string("http://h/") + e.name;
    entry.IsHtml = true;
    entry.LocalFolder = folder;
    entry.LocalFileName = e.name;
    entry.StatusCode = e.status;
    entry.ErrorCode = e.error;
    queue.Append(entry.Job.editUrl, entry);
    if (e.file) WriteFile(folder + e.name, "<p>");
  }
  WriteFile(folder + "index.html",
            "<a href=gone.html><a href=cut.html><a href=kept.html><a href=later.html>"
            "<a href=refused.html>");
  TLinkBook book;
  NoteEarlierFailures(queue, book);
  book.SetPageLinks(0, {1, 2, 3, 4, 5});  // analysed again by this run
  book.SetPageLinks(3, {});

  const TLinkMending mending = MendSavedLinks(queue, book);
  EXPECT_EQ(mending.Links, 2);
  EXPECT_EQ(mending.ScriptFilesMissing, 0);
  EXPECT_EQ(ReadWholeFile(folder + "index.html"),
            "<a href=http://h/gone.html><a href=cut.html><a href=kept.html><a href=later.html>"
            "<a href=http://h/refused.html>");
}

}  // namespace
}  // namespace kestrix
