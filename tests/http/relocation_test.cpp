#include "http/relocation.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(Relocate, DirectModeCases) {
  const TRequestTarget start{"a.com", "8080", "a.com", "/dir/old.htm",
                             "http://a.com:8080/dir/old.htm"};
  struct Case {
    const char* value;
    TRequestTarget expected;
  } cases[] = {
      // 1: rooted path, same host and port
      {"/new.htm", {"a.com", "8080", "a.com", "/new.htm", "http://a.com/new.htm"}},
      // 2: absolute URL; no port given means 80; Location carries no port
      {"http://b.org/x/y", {"b.org", "80", "b.org", "/x/y", "http://b.org/x/y"}},
      {"http://b.org:81", {"b.org", "81", "b.org", "/", "http://b.org"}},
      {"http://u:p@b.org/x", {"b.org", "80", "b.org", "/x", "http://b.org/x"}},
      // 3: a bare name is requested at the root of the current host
      {"page.htm", {"a.com", "8080", "a.com", "/page.htm", "http://a.com/page.htm"}},
      // 4: no host but a path
      {"http:/p/q", {"a.com", "8080", "a.com", "/p/q", "http://a.com/p/q"}},
      // 5: relative with a "/", its first segment taken for a host
      {"sub/x.htm", {"sub", "80", "sub", "/x.htm", "http://sub/x.htm"}},
      {"sub:81/x.htm", {"sub", "81", "sub", "/x.htm", "http://sub/x.htm"}},
  };
  for (const auto& c : cases) {
    TRequestTarget t = start;
    Relocate(t, c.value, false);
    EXPECT_EQ(t, c.expected) << c.value;
  }
}

TEST(Relocate, SchemeAndItsDefaultPortFollowTheValue) {
  const TRequestTarget secure{"a.com", "8443", "a.com", "/old.htm", "https://a.com:8443/old.htm",
                              "https"};
  struct Case {
    TRequestTarget start;
    const char* value;
    const char* scheme;
    const char* port;
    const char* location;
  } cases[] = {
      {secure, "/new.htm", "https", "8443", "https://a.com/new.htm"},
      {secure, "page.htm", "https", "8443", "https://a.com/page.htm"},
      {secure, "http://b.org/x", "http", "80", "http://b.org/x"},
      {{"a.com", "80", "a.com", "/", "http://a.com/"},
       "https://a.com/",
       "https",
       "443",
       "https://a.com/"},
      {{"a.com", "80", "a.com", "/", "http://a.com/"},
       "HTTPS://b.org:9443/y",
       "https",
       "9443",
       "HTTPS://b.org/y"},
  };
  for (const auto& c : cases) {
    TRequestTarget t = c.start;
    Relocate(t, c.value, false);
    EXPECT_EQ(t.Scheme, c.scheme) << c.value;
    EXPECT_EQ(t.Port, c.port) << c.value;
    EXPECT_EQ(t.Location, c.location) << c.value;
  }
}

TEST(Relocate, ProxyModeKeepsTheProxyAndRequestsAbsoluteUrls) {
  const TRequestTarget start{"px", "3128", "a.com", "http://a.com:81/dir/old.htm", ""};
  struct Case {
    const char* value;
    const char* location;
    const char* targetHost;
  } cases[] = {
      {"/new.htm", "http://a.com:81/new.htm", "a.com"},
      {"http://b.org:82/x", "http://b.org:82/x", "b.org"},
      {"http://b.org/x", "http://b.org/x", "b.org"},
      {"page.htm", "http://a.com/page.htm", "a.com"},
      {"http:/p/q", "http://a.com/p/q", "a.com"},
      {"sub/x.htm", "http://sub/x.htm", "sub"},
  };
  for (const auto& c : cases) {
    TRequestTarget t = start;
    Relocate(t, c.value, true);
    EXPECT_EQ(t.Location, c.location) << c.value;
    EXPECT_EQ(t.RequestPath, c.location) << c.value;
    EXPECT_EQ(t.TargetHost, c.targetHost) << c.value;
    EXPECT_EQ(t.HostName, "px");
    EXPECT_EQ(t.Port, "3128");
  }
}

TEST(Relocate, ProxyModeKeepsTheSchemeForRelativeValues) {
  TRequestTarget start{"px", "3128", "a.com", "https://a.com/dir/old.htm", ""};
  start.Scheme = "https";
  struct Case {
    const char* value;
    const char* location;
    const char* scheme;
  } cases[] = {
      {"/new.htm", "https://a.com/new.htm", "https"},
      {"page.htm", "https://a.com/page.htm", "https"},
      {"http://a.com/x", "http://a.com/x", "http"},
      {"HTTPS://b.org:8443/y", "HTTPS://b.org:8443/y", "https"},
  };
  for (const auto& c : cases) {
    TRequestTarget t = start;
    Relocate(t, c.value, true);
    EXPECT_EQ(t.Location, c.location) << c.value;
    EXPECT_EQ(t.Scheme, c.scheme) << c.value;
    EXPECT_EQ(t.HostName, "px");
  }
}

}  // namespace
}  // namespace kestrix
