#include "http/relocation.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// Where each form of a "Location:" value leads, straight to the server and
// through a proxy, from a plain and from a secure page: the rows of
// tests/fixtures/http/relocations.txt.
TEST(Relocate, EveryFormOfTheValueDirectAndThroughAProxy) {
  const std::map<std::string, TRequestTarget> starts = {
      {"plain", {"a.com", "8080", "a.com", "/dir/old.htm", "http://a.com:8080/dir/old.htm"}},
      {"secure", {"a.com", "8443", "a.com", "/old.htm", "https://a.com:8443/old.htm", "https"}},
      {"plain80", {"a.com", "80", "a.com", "/", "http://a.com/"}},
      {"proxied", {"px", "3128", "a.com", "http://a.com:81/dir/old.htm", ""}},
      {"proxiedSecure", {"px", "3128", "a.com", "https://a.com/dir/old.htm", "", "https"}},
  };
  const auto rows = test::ReadRows("http/relocations.txt");
  ASSERT_GE(rows.size(), 20u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 8u) << r[0];
    TRequestTarget t = starts.at(r[0]);
    const bool proxy = r[0].starts_with("proxied");
    Relocate(t, r[1], proxy);
    EXPECT_EQ(t, (TRequestTarget{r[2], r[3], r[4], r[5], r[6], r[7]}))
        << r[1] << (proxy ? " (proxy)" : "");
  }
}

}  // namespace
}  // namespace kestrix
