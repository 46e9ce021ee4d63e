#include "core/used_names.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrix {
namespace {

// A path is kept as its folder and its last component: whatever the split,
// a path must be found exactly when it was given, letter case aside.
TEST(UsedNamesTest, FindsExactlyThePathsGivenWhateverTheirShape) {
  UsedNames used;
  for (const char* path : {"/dl/P/h/a/b.html", "/dl/P/h/ab.html", "noslash", "/dl/P/h/"}) {
    used.Add(path);
  }
  struct Case {
    const char* path;
    bool used;
  } cases[] = {
      {"/dl/P/h/a/b.html", true},
      {"/DL/p/H/A/B.HTML", true},
      {"/dl/P/h/ab.html", true},
      {"/dl/P/h/\xC1"
       "B.html",
       false},  // only ASCII letters fold
      {"/dl/P/h/a/ab.html", false},
      {"/dl/P/h/b.html", false},
      {"/dl/P/h/a/b.htm", false},
      {"noslash", true},
      {"/noslash", false},
      {"/dl/P/h/", true},
      {"/dl/P/h", false},
      {"", false},
      {"/dl/P/h/a/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(used.Contains(c.path), c.used) << c.path;
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
