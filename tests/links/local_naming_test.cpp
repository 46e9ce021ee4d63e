#include "links/local_naming.h"

#include <gtest/gtest.h>

#include <map>
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
  const auto rows = test::ReadRows("links/local_names.txt", "inside");
  ASSERT_GE(rows.size(), 7u);
  for (const auto& r : rows) EXPECT_EQ(IsInsideProject(r[0], kDl, "P"), r[1] == "1") << r[0];
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

TEST(FileNameSequence, RepeatedNamesGetACounterAndNeverShareAFile) {
  std::map<std::string, UsedNames> sequences;
  const auto rows = test::ReadRows("links/local_names.txt", "used");
  ASSERT_GE(rows.size(), 18u);
  for (const auto& r : rows) {
    EXPECT_EQ(MakeLocalFileName(r[1], r[3], "", sequences[r[0]], r[2] == "1",
                                r.size() > 5 ? "" : "index.html"),
              r[4])
        << r[1];
  }
  EXPECT_EQ(sequences["cleaned"].size(), 7u);
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

TEST(RelativeLocalPath, ClimbsNoHigherThanTheSharedFolder) {
  const auto rows = test::ReadRows("links/local_names.txt", "relative");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& r : rows) EXPECT_EQ(RelativeLocalPath(r[0], r[1], "f"), r[2]) << r[0];
}

}  // namespace
}  // namespace kestrix
