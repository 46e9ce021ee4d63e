#include "links/local_naming.h"

#include <gtest/gtest.h>

#include <set>

#include "core/used_names.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

constexpr const char* kDl = "/dl/";

// Every folder, whatever the URL holds, lies inside the project folder.
TEST(LocalDir, BuildsProjectHostAndUrlFoldersThatCannotClimbOut) {
  const auto check = [](const std::string& url, bool replicate, const std::string& want) {
    const std::string dir = LocalDir(url, kDl, "P", replicate);
    EXPECT_EQ(dir, want) << url;
    EXPECT_TRUE(IsInsideProject(dir, kDl, "P")) << dir;
  };
  const auto rows = test::ReadRows("links/local_names.txt", "dir");
  ASSERT_GE(rows.size(), 14u);
  for (const auto& r : rows) check(r[0], r[1] == "1", r[2]);
  // An overlong folder name is shortened.
  check("http://h/" + std::string(300, 'd') + ".x/f", true,
        "/dl/P/h/" + std::string(253, 'd') + ".x/");
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
  auto rows = test::ReadRows("links/local_names.txt", "name");
  ASSERT_GE(rows.size(), 30u);
  rows.push_back({"http://h/" + std::string(200, 'x'), "0", "", "index.html"});
  for (const auto& r : rows) {
    UsedNames fresh;
    EXPECT_EQ(MakeLocalFileName(r[0], "/dl/P/", r[2], fresh, r[1] == "1", "index.html"), r[3])
        << r[0];
    EXPECT_EQ(fresh.size(), 1u);
    EXPECT_TRUE(fresh.Contains("/dl/P/" + r[3]));
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

}  // namespace
}  // namespace kestrix
