#include "links/local_naming.h"

#include <gtest/gtest.h>

#include <set>

#include "core/used_names.h"

namespace kestrix {
namespace {

constexpr const char* kDl = "/dl/";

struct DirCase {
  std::string url;
  bool replicate;
  std::string want;
};

// Every folder, whatever the URL holds, lies inside the project folder.
TEST(LocalDir, BuildsProjectHostAndUrlFoldersThatCannotClimbOut) {
  const DirCase cases[] = {
      {"http://h:8080/a/b.html", true, "/dl/P/h/a/"},  // the port is not part of the folder
      {"http://h:8080/a/b.html", false, "/dl/P/"},
      {"http://h/", true, "/dl/P/h/"},
      {"http://h", true, "/dl/P/h/"},
      {"http://h/a:b/c.html", true, "/dl/P/h/"},  // invalid folder name: the host alone
      {"http://h/a//b/c", true, "/dl/P/h/a/b/"},
      {"http:///a/x", true, "/dl/P/a/"},
      // An overlong folder name is shortened.
      {"http://h/" + std::string(300, 'd') + ".x/f", true,
       "/dl/P/h/" + std::string(253, 'd') + ".x/"},
      {"http://h/../../etc/x", true, "/dl/P/h/!/!/etc/"},
      {"http://../x", true, "/dl/P/!/"},
      {"http://./x", true, "/dl/P/!/"},
      {"http://h/%2e%2e/%2E./.%2e/x", true, "/dl/P/h/!/!/!/"},
      {"http://h/a\\..\\..\\x/y", true, "/dl/P/h/a/!/!/x/"},
      {"http://..\\..\\x/y", true, "/dl/P/!/!/x/"},
      {"http://h/a/./b/", true, "/dl/P/h/a/!/b/"},
      {"http://h/a\x01"
       "b\x7f/x",
       true, "/dl/P/h/a!b!/"},
  };
  for (const DirCase& c : cases) {
    const std::string dir = LocalDir(c.url, kDl, "P", c.replicate);
    EXPECT_EQ(dir, c.want) << c.url;
    EXPECT_TRUE(IsInsideProject(dir, kDl, "P")) << dir;
  }
  EXPECT_EQ(LocalDir("http://h/a/", "/dl//", "P", true), "/dl/P/h/a/");
}

TEST(IsInsideProject, AcceptsOnlyPathsBelowTheProjectFolder) {
  EXPECT_TRUE(IsInsideProject("/dl/P/", kDl, "P"));
  EXPECT_TRUE(IsInsideProject("/dl/P/h/a/f.html", kDl, "P"));
  EXPECT_TRUE(IsInsideProject("/dl/P/h/..x/", kDl, "P"));
  EXPECT_FALSE(IsInsideProject("/dl/Q/f", kDl, "P"));
  EXPECT_FALSE(IsInsideProject("/dl/P/../Q/f", kDl, "P"));
  EXPECT_FALSE(IsInsideProject("/dl/P/h/..", kDl, "P"));
  EXPECT_FALSE(IsInsideProject("/dl/PP/f", kDl, "P"));
}

class FileNameTest : public ::testing::Test {
 protected:
  std::string Name(const std::string& url, bool addHtm = false, const std::string& mask = "",
                   const std::string& folder = "/dl/P/") {
    return MakeLocalFileName(url, folder, mask, used_, addHtm, "index.html");
  }
  UsedNames used_;
};

TEST_F(FileNameTest, CleansTheNameAsOnDisk) {
  struct Case {
    std::string url;
    bool addHtm;
    std::string mask;
    std::string want;
  };
  const Case cases[] = {
      // A query name repeats its path's extension, unless ".htm" is added.
      {"http://h/page.asp?id=1&amp;n=2", false, "", "page.asp@id=1&n=2.asp"},
      {"http://h/_static/theme.css?2022.1", true, "", "theme.css@2022.1.css"},
      {"http://h/img.PNG?v=3", false, "", "img.PNG@v=3.PNG"},
      {"http://h/a.html?x=1", true, "", "a.html@x=1.html"},
      {"http://h/search?q=a.b", false, "", "search@q=a.b"},
      // Only an extension of letters and digits is repeated (found by fuzzing).
      {"http://h/a.\x04"
       "b?v=1",
       false, "", "a.!b@v=1"},
      {"http://h/doc.pdf", true, "", "doc.pdf"},  // never ".htm" on a known non-page
      {"http://h/s.JS", true, "", "s.JS"},
      {"http://h/notes.txt?v=2", true, "", "notes.txt@v=2.txt"},
      {"http://h/page.php", true, "", "page.php.htm"},
      {"http://h/page.asp?id=1&amp;n=2", true, "", "page.asp@id=1&n=2.htm"},
      {"http://h/a%20b.html", false, "", "a_b.html"},
      {"http://h/a+b.html", false, "", "a_b.html"},
      {"http://h/100%%.HTM", true, "", "100%.HTM"},
      {"http://h/d/", false, "", "index.html"},
      {"http://h", false, "", "index.html"},
      {"http://h/" + std::string(200, 'x'), false, "", "index.html"},  // URL over 200
      {"http://h/run.cgi?x=1", false, "*.html", "run.cgi@x=1.html"},
      {"http://h/a*b", false, "pre-*", "pre-ab"},
      {"http://h/x%3C%7C%3E%22:y", false, "", "x!!!!!y"},
      {"http://h/50%off.html", false, "", "50%off.html"},  // malformed: kept as written
      {"http://h/end%4", false, "", "end%4"},
      {"http://h/a%2F..%2F..%2Fx", false, "", "a!..!..!x"},  // no separator survives
      {"http://h/%2e%2e", false, "", "!!"},
      {"http://h/a%00b%0Ac%09d", false, "", "a!b!c!d"},  // no control characters
      {"ftp://h/pub/file.tar.gz", true, "", "file.tar.gz"},
      {"ftp://h/pub/file.tar.bz", true, "", "file.tar.bz"},
      // Only names that look like pages get ".htm" before the reply says.
      {"http://h/ex/plot_parse.py", true, "", "plot_parse.py"},
      {"http://h/docs/3.12", true, "", "3.12.htm"},
      {"http://h/x.foo?a=1", true, "", "x.foo@a=1.htm"},
      {"amp;", false, "", "index.html"},  // nothing left after cleaning
  };
  for (const Case& c : cases) {
    UsedNames fresh;
    EXPECT_EQ(MakeLocalFileName(c.url, "/dl/P/", c.mask, fresh, c.addHtm, "index.html"), c.want)
        << c.url;
    EXPECT_EQ(fresh.size(), 1u);
    EXPECT_TRUE(fresh.Contains("/dl/P/" + c.want));
  }
}

TEST_F(FileNameTest, RepeatedNamesGetACounterBeforeTheFirstDot) {
  EXPECT_EQ(Name("http://h/a/x.html"), "x.html");
  EXPECT_EQ(Name("http://h/b/x.html"), "x1.html");
  EXPECT_EQ(Name("http://h/c/x.html"), "x2.html");
  EXPECT_EQ(Name("http://h/c/X.HTML"), "X3.HTML");  // compared without case
  EXPECT_EQ(Name("http://h/x.html", false, "", "/dl/P/other/"), "x.html");
  EXPECT_EQ(Name("http://h/README"), "README");
  EXPECT_EQ(Name("http://h/d/README"), "1README");
  EXPECT_EQ(Name("http://h/a/"), "index.html");
  EXPECT_EQ(Name("http://h/b/"), "index1.html");
  EXPECT_EQ(Name("http://h/" + std::string(250, 'y')), "index2.html");
  EXPECT_EQ(MakeLocalFileName("http://h/z/", "/dl/P/", "", used_, false, ""), "index3.html");
}

TEST_F(FileNameTest, CountersResumeWhereTheLastSearchStopped) {
  for (int i = 0; i < 20000; ++i) Name("http://h/d" + std::to_string(i) + "/");
  EXPECT_EQ(Name("http://h/last/"), "index20000.html");
  // A name given out by other means is still skipped.
  used_.Add("/dl/P/index20002.html");
  EXPECT_EQ(Name("http://h/a/"), "index20001.html");
  EXPECT_EQ(Name("http://h/b/"), "index20003.html");
  // The hint belongs to the folder and to the ".htm" choice.
  EXPECT_EQ(Name("http://h/c/", false, "", "/dl/P/other/"), "index.html");
  EXPECT_EQ(Name("http://h/x", true), "x.htm");
  EXPECT_EQ(Name("http://h/y/x", false), "x");
  used_.Clear();
  EXPECT_EQ(Name("http://h/again/"), "index.html");
}

TEST_F(FileNameTest, NamesThatDifferOnlyBeforeCleaningNeverShareAFile) {
  EXPECT_EQ(Name("http://h/a%20b.html"), "a_b.html");
  EXPECT_EQ(Name("http://h/a+b.html"), "a_b1.html");
  EXPECT_EQ(Name("http://h/a_b.html"), "a_b2.html");
  EXPECT_EQ(Name("http://h/q?x"), "q@x");
  EXPECT_EQ(Name("http://h/q@x"), "1q@x");
  EXPECT_EQ(Name("http://h/p", true), "p.htm");
  EXPECT_EQ(Name("http://h/p.htm", true), "p1.htm");
  EXPECT_EQ(used_.size(), 7u);
}

TEST_F(FileNameTest, OverlongNamesAreShortenedKeepingExtensionAndUniqueness) {
  const std::string mask = std::string(300, 'm') + "*";
  const std::string first = Name("http://h/f.html", false, mask);
  std::set<std::string> names = {first};
  for (const char* url : {"http://h/g/f.html", "http://h/h/f.html"})
    names.insert(Name(url, false, mask));
  EXPECT_EQ(names.size(), 3u);
  for (const std::string& name : names) {
    EXPECT_LE(name.size(), kMaxNameComponent);
    EXPECT_TRUE(name.ends_with(".html")) << name;
  }
  EXPECT_EQ(first, std::string(250, 'm') + ".html");
}

// The path climbs only to the deepest folder both share, so a copy whose
// host folder is renamed or moved still works.
TEST(RelativeLocalPath, ClimbsNoHigherThanTheSharedFolder) {
  const struct {
    const char* from;
    const char* to;
    const char* want;
  } cases[] = {
      {"/dl/P/127.0.0.1/", "/dl/P/127.0.0.1/_static/", "_static/f"},
      {"/dl/P/h/a/", "/dl/P/h/b/", "../b/f"},
      {"/dl/P/h/a/b/", "/dl/P/h/", "../../f"},
      {"/dl/P/h/", "/dl/P/g/x/", "../g/x/f"},
      {"/dl/P/", "/dl/P/", "f"},
      {"/dl/P/h/ab/", "/dl/P/h/a/", "../a/f"},  // "a" is not a folder of "ab"
  };
  for (const auto& c : cases) EXPECT_EQ(RelativeLocalPath(c.from, c.to, "f"), c.want) << c.from;
}

TEST(UsedNames, ComparesWithoutAsciiCase) {
  UsedNames used;
  used.Add("/dl/P/Index.HTML");
  EXPECT_TRUE(used.Contains("/DL/p/INDEX.html"));
  EXPECT_FALSE(used.Contains("/dl/P/\xC9ndex.html"));
  used.Add("/DL/p/index.html");
  EXPECT_EQ(used.size(), 1u);
}

}  // namespace
}  // namespace kestrix
