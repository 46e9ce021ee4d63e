#include "core/dot_segments.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// What the resolution table (tests/links/url_paths_test.cpp) does not
// reach: escaped dots, and the parts of a URL that are not its path.
TEST(DotSegments, OnlyThePathLosesItsDots) {
  const struct {
    const char* in;
    const char* want;
  } paths[] = {
      {"/a/b/%2e%2E/c", "/a/c"},
      {"/a/.%2e", "/"},
      {"/a/%2e/", "/a/"},
      {"/a/%2e%2e%2e/", "/a/%2e%2e%2e/"},
      {"/a/...", "/a/..."},
      {"../../x", "x"},
      {"./", ""},
      {"/", "/"},
  };
  for (const auto& c : paths) EXPECT_EQ(RemoveDotSegments(c.in), c.want) << c.in;
  const struct {
    const char* in;
    const char* want;
  } urls[] = {
      {"http://h/a/../b?x=/../y#/../z", "http://h/b?x=/../y#/../z"},
      {"HTTPS://u@h:81/a/./b/..", "HTTPS://u@h:81/a/"},
      {"http://h?x=/a/../b", "http://h?x=/a/../b"},
      {"http://h", "http://h"},
      {"/d/p?u=http://o/a/../b", "/d/p?u=http://o/a/../b"},
      {"/d/x/../p?u=http://o/", "/d/p?u=http://o/"},
  };
  for (const auto& c : urls) EXPECT_EQ(WithoutDotSegments(c.in), c.want) << c.in;
}

}  // namespace
}  // namespace kestrix
