#include "links/content_names.h"

#include <gtest/gtest.h>

#include "core/used_names.h"

namespace kestrix {
namespace {

TEST(ContentNames, WhatIsExpectedToBeAPage) {
  for (const char* page :
       {"guide", "index.html", "a.HTM", "list.php", "run.cgi", "p.aspx", "x.jsp", "t.pl", "f.cfm",
        "s.shtml", "3.12", "search?q=a.b", "x.foo?a=1", "my.post-title"}) {
    EXPECT_TRUE(IsExpectedPageName(page)) << page;
  }
  for (const char* file : {"plot_parse.py", "example.ipynb", "a.zip", "s.css?v=3", "doc.pdf?dl=1",
                           "x.JS", "tzinfo.tar.bz"}) {
    EXPECT_FALSE(IsExpectedPageName(file)) << file;
  }
}

TEST(ContentNames, TheReplyDecidesTheExtension) {
  const struct {
    const char* url;
    const char* queued;
    const char* type;
    bool adjust;
    const char* want;
  } cases[] = {
      {"http://h/guide", "guide", "text/html; charset=utf-8", true, "guide.htm"},
      {"http://h/guide", "guide.htm", "Application/XHTML+XML", true, "guide.htm"},
      {"http://h/a.html", "a.html", "text/html", true, "a.html"},
      {"http://h/x.py", "x.py", "text/html", true, "x.py.htm"},
      {"http://h/x.py", "x.py", "application/octet-stream", true, "x.py"},
      {"http://h/dl?id=3", "dl@id=3.htm", "application/octet-stream", true, "dl@id=3"},
      {"http://h/dl?id=3", "dl@id=3.htm", "application/pdf", true, "dl@id=3.pdf"},
      {"http://h/logo", "logo", "image/png", true, "logo.png"},
      {"http://h/3.12", "3.12.htm", "image/svg+xml", true, "3.12.svg"},
      {"http://h/feed.php", "feed.php.htm", "application/json", true, "feed.php.json"},
      {"http://h/s.css", "s.css", "text/plain", true, "s.css"},
      {"http://h/x.htm", "x1.htm", "text/css", true, "x1.htm"},  // the URL's own ".htm"
      {"http://h/x.htm", "x.htm", "image/x-unknown", true, "x.htm"},
      {"http://h/logo", "logo", "", true, "logo"},  // no type said: nothing known
      {"http://h/logo", "logo", "image/png", false, "logo"},
      {"http://h/guide", "guide", "text/html", false, "guide"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NameForContent(c.url, c.queued, c.type, c.adjust), c.want)
        << c.queued << " " << c.type;
  }
}

TEST(ContentNames, ARenamedFileStaysUnique) {
  UsedNames used;
  used.Add("/dl/P/logo");
  used.Add("/dl/P/logo.png");
  EXPECT_EQ(RenameForContent("http://h/logo", "/dl/P/", "logo", "image/png", true, used),
            "logo1.png");
  EXPECT_TRUE(used.Contains("/dl/P/logo1.png"));
  EXPECT_EQ(RenameForContent("http://h/a.png", "/dl/P/", "a.png", "image/png", true, used),
            "a.png");
  EXPECT_EQ(used.size(), 3u);
}

}  // namespace
}  // namespace kestrix
