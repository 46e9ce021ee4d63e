#include "core/used_names.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// A path is kept as its folder and its last component: whatever the split,
// a path must be found exactly when it was given, letter case aside: the
// "used" rows of tests/fixtures/core/paths.txt.
TEST(UsedNamesTest, FindsExactlyThePathsGivenWhateverTheirShape) {
  UsedNames used;
  for (const char* path : {"/dl/P/h/a/b.html", "/dl/P/h/ab.html", "noslash", "/dl/P/h/"}) {
    used.Add(path);
  }
  const auto rows = test::ReadRows("core/paths.txt", "used");
  ASSERT_GE(rows.size(), 13u);
  for (const auto& r : rows) EXPECT_EQ(used.Contains(r[0]), r[1] == "1") << r[0];
  used.Add("/DL/P/H/AB.HTML");  // already given
  EXPECT_EQ(used.size(), 4u);
}

TEST(UsedNamesTest, KeepsEveryNameAsTheTableGrowsAndForgetsAllOnClear) {
  UsedNames used;
  const auto path = [](int i) {
    return "/dl/P/f" + std::to_string(i % 7) + "/n" + std::to_string(i) + ".html";
  };
  for (int i = 0; i < 5000; i += 2) used.Add(path(i));
  int wrong = 0;
  for (int i = 0; i < 5000; ++i) wrong += used.Contains(path(i)) != (i % 2 == 0);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(used.size(), 2500u);
  used.Clear();
  EXPECT_FALSE(used.Contains(path(0)));
  EXPECT_EQ(used.size(), 0u);
}

}  // namespace
}  // namespace kestrix
