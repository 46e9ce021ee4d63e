#include "http/relocation.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Where each form of a "Location:" value leads, straight to the server and
// through a proxy, from a plain and from a secure page.
TEST(Relocate, EveryFormOfTheValueDirectAndThroughAProxy) {
  const TRequestTarget plain{"a.com", "8080", "a.com", "/dir/old.htm",
                             "http://a.com:8080/dir/old.htm"};
  const TRequestTarget secure{"a.com", "8443", "a.com", "/old.htm", "https://a.com:8443/old.htm",
                              "https"};
  const TRequestTarget plain80{"a.com", "80", "a.com", "/", "http://a.com/"};
  const TRequestTarget proxied{"px", "3128", "a.com", "http://a.com:81/dir/old.htm", ""};
  const TRequestTarget proxiedSecure{"px", "3128", "a.com", "https://a.com/dir/old.htm",
                                     "",   "https"};
  using T = TRequestTarget;
  const struct {
    const TRequestTarget& start;
    bool proxy;
    const char* value;
    TRequestTarget expected;
  } cases[] = {
      // A rooted path: same host and port; Location carries no port.
      {plain, false, "/new.htm", T{"a.com", "8080", "a.com", "/new.htm", "http://a.com/new.htm"}},
      // An absolute URL: no port given means the scheme's own.
      {plain, false, "http://b.org/x/y", T{"b.org", "80", "b.org", "/x/y", "http://b.org/x/y"}},
      {plain, false, "http://b.org:81", T{"b.org", "81", "b.org", "/", "http://b.org"}},
      {plain, false, "http://u:p@b.org/x", T{"b.org", "80", "b.org", "/x", "http://b.org/x"}},
      // A bare name is requested at the root of the current host.
      {plain, false, "page.htm", T{"a.com", "8080", "a.com", "/page.htm", "http://a.com/page.htm"}},
      {plain, false, "http:/p/q", T{"a.com", "8080", "a.com", "/p/q", "http://a.com/p/q"}},
      // Relative with a "/": its first segment is taken for a host.
      {plain, false, "sub/x.htm", T{"sub", "80", "sub", "/x.htm", "http://sub/x.htm"}},
      {plain, false, "sub:81/x.htm", T{"sub", "81", "sub", "/x.htm", "http://sub/x.htm"}},
      // The scheme and its default port follow the value.
      {secure, false, "/new.htm",
       T{"a.com", "8443", "a.com", "/new.htm", "https://a.com/new.htm", "https"}},
      {secure, false, "page.htm",
       T{"a.com", "8443", "a.com", "/page.htm", "https://a.com/page.htm", "https"}},
      {secure, false, "http://b.org/x", T{"b.org", "80", "b.org", "/x", "http://b.org/x"}},
      {plain80, false, "https://a.com/",
       T{"a.com", "443", "a.com", "/", "https://a.com/", "https"}},
      {plain80, false, "HTTPS://b.org:9443/y",
       T{"b.org", "9443", "b.org", "/y", "HTTPS://b.org/y", "https"}},
      // Through a proxy: the proxy stays and absolute URLs are requested.
      {proxied, true, "/new.htm",
       T{"px", "3128", "a.com", "http://a.com:81/new.htm", "http://a.com:81/new.htm"}},
      {proxied, true, "http://b.org:82/x",
       T{"px", "3128", "b.org", "http://b.org:82/x", "http://b.org:82/x"}},
      {proxied, true, "http://b.org/x",
       T{"px", "3128", "b.org", "http://b.org/x", "http://b.org/x"}},
      {proxied, true, "page.htm",
       T{"px", "3128", "a.com", "http://a.com/page.htm", "http://a.com/page.htm"}},
      {proxied, true, "http:/p/q",
       T{"px", "3128", "a.com", "http://a.com/p/q", "http://a.com/p/q"}},
      {proxied, true, "sub/x.htm", T{"px", "3128", "sub", "http://sub/x.htm", "http://sub/x.htm"}},
      // ... and relative values keep the page's scheme.
      {proxiedSecure, true, "/new.htm",
       T{"px", "3128", "a.com", "https://a.com/new.htm", "https://a.com/new.htm", "https"}},
      {proxiedSecure, true, "page.htm",
       T{"px", "3128", "a.com", "https://a.com/page.htm", "https://a.com/page.htm", "https"}},
      {proxiedSecure, true, "http://a.com/x",
       T{"px", "3128", "a.com", "http://a.com/x", "http://a.com/x"}},
      {proxiedSecure, true, "HTTPS://b.org:8443/y",
       T{"px", "3128", "b.org", "HTTPS://b.org:8443/y", "HTTPS://b.org:8443/y", "https"}},
  };
  for (const auto& c : cases) {
    TRequestTarget t = c.start;
    Relocate(t, c.value, c.proxy);
    EXPECT_EQ(t, c.expected) << c.value << (c.proxy ? " (proxy)" : "");
  }
}

}  // namespace
}  // namespace kestrix
