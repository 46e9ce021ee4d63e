#include "engine/link_pass.h"

#include <gtest/gtest.h>

#include "core/url_list.h"
#include "engine/link_book.h"
#include "links/html_items.h"
#include "tests/core/scratch_folder.h"

namespace kestrix {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

// A queue of saved pages, a sheet and the files they link to, as a run
// leaves it: one file failed, one came under the name its type gives, one
// page was saved by an earlier run (the book has not seen it). Each page is
// mended once, by the rules of its own job, and a second pass finds nothing
// left to do.
TEST(LinkPassTest, PagesLinkingToFailedOrRenamedFilesAreMendedOnce) {
  ScratchFolder dir;
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
    EXPECT_EQ(ReadFile(folder + file.name), file.mended) << file.name;
  }
  EXPECT_EQ(MendSavedLinks(queue, book).Pages, 0);
}

}  // namespace
}  // namespace kestrix
