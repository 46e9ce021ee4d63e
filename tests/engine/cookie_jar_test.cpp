// Cookies as browsers keep them: the Set-Cookie reader, the jar's rules for
// domains, paths, expiry and bounds, and the cookies file.
#include "engine/cookie_jar.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/cookie_file.h"
#include "engine/header_date.h"
#include "engine/set_cookie.h"
#include "tests/core/scratch_folder.h"

namespace kestrix {
namespace {

const int64_t kNow = UnixSecondsOf(2024, 1, 1, 0, 0, 0);

TEST(HeaderDate, ReadsTheFormsServersSend) {
  const struct {
    const char* text;
    int64_t expected;  // 0: unreadable
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"06 nov 1994 8:49:37", 784111777},
      {"Wed, 01-Jan-2025 00:00:00 GMT", UnixSecondsOf(2025, 1, 1, 0, 0, 0)},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {"Tue, 29 Feb 2000 12:00:00 GMT", UnixSecondsOf(2000, 2, 29, 12, 0, 0)},
      {"Fri, 01 Jan 2038 00:00:00 GMT", UnixSecondsOf(2038, 1, 1, 0, 0, 0)},
      {"Mon, 01 Jan 1600 00:00:00 GMT", -1},  // before 1601
      {"Sat, 30 Feb 2000 12:00:00 GMT", -1},  // no such day
      {"Sat, 29 Feb 2001 12:00:00 GMT", -1},
      {"Sun, 06 Nov 1994 24:00:00 GMT", -1},
      {"Sun, 06 Nov 1994 GMT", -1},  // no time
      {"Sun, 06 Nox 1994 08:49:37 GMT", -1},
      {"", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<int64_t> got = ParseHeaderDate(c.text);
    if (c.expected < 0) {
      EXPECT_FALSE(got);
    } else {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(SetCookie, ReadsNameValueAndAttributes) {
  const auto a = ParseSetCookie(
      " sid = a b ; Path=/x; DOMAIN=.Example.COM; secure; HttpOnly; SameSite=Strict; "
      "Max-Age=60; Expires=Sun, 06 Nov 1994 08:49:37 GMT; Path=/last; Max-Age=-5");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Name, "sid");
  EXPECT_EQ(a->Value, "a b");
  EXPECT_EQ(a->Domain, "example.com");
  EXPECT_EQ(a->Path, "/last");  // the last of a repeated attribute wins
  EXPECT_EQ(a->MaxAge, -5);
  EXPECT_EQ(a->Expires, 784111777);
  EXPECT_TRUE(a->Secure && a->HttpOnly);

  const auto b = ParseSetCookie("k=v=w; Path=relative; Max-Age=1x; Expires=soon; Domain=");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Value, "v=w");
  EXPECT_EQ(b->Path, "");
  EXPECT_FALSE(b->MaxAge || b->Expires);
  EXPECT_EQ(b->Domain, "");
  EXPECT_EQ(ParseSetCookie("k=v; Path=/" + std::string(1100, 'p'))->Path, "");

  for (const char* bad : {"novalue", "=v", " =v; Path=/", "k=a\tb", "k\x01=v", "k=v\x7f"}) {
    EXPECT_FALSE(ParseSetCookie(bad)) << bad;
  }
}

// One table for what a site sets and what each later request carries.
TEST(CookieJar, StoresAndSendsByTheRulesBrowsersFollow) {
  const struct {
    const char* setUrl;
    const char* header;
    TCookieVerdict verdict;
    const char* requestUrl;
    const char* sent;
  } cases[] = {
      // Host-only unless a Domain is given; a Domain covers subdomains.
      {"http://www.example.com/", "a=1", TCookieVerdict::Stored, "http://sub.www.example.com/", ""},
      {"http://www.example.com/", "a=1", TCookieVerdict::Stored, "http://WWW.example.com:8080/",
       "a=1"},
      {"http://www.example.com/", "a=1; Domain=example.com", TCookieVerdict::Stored,
       "http://other.example.com/", "a=1"},
      {"http://www.example.com/", "a=1; Domain=other.com", TCookieVerdict::ForeignDomain,
       "http://other.com/", ""},
      {"http://www.example.com/", "a=1; Domain=ample.com", TCookieVerdict::ForeignDomain,
       "http://ample.com/", ""},
      // Public suffixes name no site, unless the host is the suffix itself.
      {"http://shop.example.co.uk/", "a=1; Domain=co.uk", TCookieVerdict::PublicSuffix,
       "http://other.co.uk/", ""},
      {"http://user.github.io/", "a=1; Domain=github.io", TCookieVerdict::PublicSuffix,
       "http://github.io/", ""},
      {"http://co.uk/", "a=1; Domain=co.uk", TCookieVerdict::Stored, "http://www.co.uk/", ""},
      {"http://shop.example.co.uk/", "a=1; Domain=example.co.uk", TCookieVerdict::Stored,
       "http://example.co.uk/", "a=1"},
      // An IP address has no subdomains.
      {"http://127.0.0.1:8080/", "a=1", TCookieVerdict::Stored, "http://127.0.0.1:9090/x", "a=1"},
      // The default path is the request's folder; a path covers its subpaths only.
      {"http://h.test/docs/page.html", "a=1", TCookieVerdict::Stored, "http://h.test/docs", "a=1"},
      {"http://h.test/docs/page.html", "a=1", TCookieVerdict::Stored, "http://h.test/docsx/", ""},
      {"http://h.test/docs/page.html", "a=1", TCookieVerdict::Stored, "http://h.test/docs/x/y?q",
       "a=1"},
      {"http://h.test/page.html", "a=1", TCookieVerdict::Stored, "http://h.test/x", "a=1"},
      {"http://h.test/a/b", "a=1; Path=/a/", TCookieVerdict::Stored, "http://h.test/a", ""},
      // Secure cookies go over https only; HttpOnly ones are sent as any.
      {"https://h.test/", "a=1; Secure", TCookieVerdict::Stored, "http://h.test/", ""},
      {"https://h.test/", "a=1; Secure; HttpOnly", TCookieVerdict::Stored, "https://h.test/",
       "a=1"},
      // Expired cookies are never kept; Max-Age wins over Expires either way round.
      {"http://h.test/", "a=1; Expires=Sun, 06 Nov 1994 08:49:37 GMT", TCookieVerdict::Deleted,
       "http://h.test/", ""},
      {"http://h.test/", "a=1; Max-Age=0", TCookieVerdict::Deleted, "http://h.test/", ""},
      {"http://h.test/", "a=1; Max-Age=10; Expires=Sun, 06 Nov 1994 08:49:37 GMT",
       TCookieVerdict::Stored, "http://h.test/", "a=1"},
      {"http://h.test/", "a=1; Expires=Wed, 01 Jan 2200 00:00:00 GMT; Max-Age=-1",
       TCookieVerdict::Deleted, "http://h.test/", ""},
      {"http://h.test/", "a=1; Domain=h\xC3\xA9.test", TCookieVerdict::Malformed, "http://h.test/",
       ""},
      {"ftp://h.test/", "a=1", TCookieVerdict::Malformed, "ftp://h.test/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.setUrl) + " " + c.header + " -> " + c.requestUrl);
    TCookieJar jar;
    EXPECT_EQ(jar.SetCookie(c.setUrl, c.header, kNow), c.verdict);
    EXPECT_EQ(jar.CookieHeader(c.requestUrl, kNow), c.sent);
  }
}

TEST(CookieJar, ReplacesDeletesExpiresAndOrdersLikeABrowser) {
  TCookieJar jar;
  const char* page = "http://h.test/a/b/page";
  jar.SetCookie(page, "first=1; Path=/", kNow);
  jar.SetCookie(page, "deep=2; Path=/a/b", kNow);
  jar.SetCookie(page, "mid=3; Path=/a", kNow);
  jar.SetCookie(page, "late=4; Path=/", kNow);
  jar.SetCookie(page, "brief=5; Max-Age=30", kNow);
  // Longer paths first; equal paths oldest first, a replacement keeping its place.
  EXPECT_EQ(jar.CookieHeader(page, kNow), "deep=2; brief=5; mid=3; first=1; late=4");
  EXPECT_EQ(jar.SetCookie(page, "first=new; Path=/", kNow), TCookieVerdict::Stored);
  EXPECT_EQ(jar.SetCookie(page, "mid=x; Path=/a; Max-Age=0", kNow), TCookieVerdict::Deleted);
  EXPECT_EQ(jar.CookieHeader(page, kNow + 31), "deep=2; first=new; late=4");
  // The same name under another path is another cookie.
  jar.SetCookie(page, "first=other; Path=/a", kNow);
  EXPECT_EQ(jar.Cookies(kNow + 31).size(), 4u);
}

TEST(CookieJar, BoundsWhatOneSiteAndAllSitesMayKeep) {
  TCookieJar jar(TCookieLimits{.MaxCookieBytes = 16, .MaxPerSite = 3, .MaxTotal = 5});
  EXPECT_EQ(jar.SetCookie("http://h.test/", "n=" + std::string(16, 'v'), kNow),
            TCookieVerdict::TooLarge);
  const auto set = [&](const char* url, const char* names) {
    for (const char* n = names; *n != 0; ++n) jar.SetCookie(url, std::string(1, *n) + "=1", kNow);
  };
  set("http://x.site.test/", "abc");
  jar.CookieHeader("http://x.site.test/", kNow);  // "a" is now the least recently used
  set("http://y.site.test/", "d");                // the site's fourth, on another host
  EXPECT_EQ(jar.CookieHeader("http://x.site.test/", kNow), "b=1; c=1");
  set("http://other.test/", "pqr");  // sixth in all: "d" was used least recently
  EXPECT_EQ(jar.Count(), 5u);
  EXPECT_EQ(jar.CookieHeader("http://y.site.test/", kNow), "");
  EXPECT_EQ(jar.CookieHeader("http://x.site.test/", kNow), "b=1; c=1");
}

TEST(CookieFile, KeepsEveryFieldAcrossASaveAndALoad) {
  testing::ScratchFolder dir;
  TCookieJar jar;
  jar.SetCookie("https://www.example.com/app/", "sid=s3cret; Secure; HttpOnly; Path=/", kNow);
  jar.SetCookie("http://www.example.com/", "lang=en; Domain=example.com; Max-Age=3600", kNow);
  jar.SetCookie("http://www.example.com/app/x", "empty=", kNow);
  const std::string path = CookieJarPath(dir.Path(), "proj");
  EXPECT_EQ(path, dir.Path() + "proj/proj.cookies");
  ASSERT_TRUE(SaveCookieFile(path, jar, kNow));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string text = testing::ReadFile(path);
  EXPECT_NE(text.find("#HttpOnly_www.example.com\tFALSE\t/\tTRUE\t0\tsid\ts3cret\n"),
            std::string::npos);
  EXPECT_NE(
      text.find("\n.example.com\tTRUE\t/\tFALSE\t" + std::to_string(kNow + 3600) + "\tlang\ten\n"),
      std::string::npos);
  EXPECT_EQ(EncodeCookieFile(jar, kNow, false).find("sid"), std::string::npos);

  TCookieJar again;
  const TCookieFileLoad load = LoadCookieFile(path, again, kNow);
  EXPECT_EQ(load.Stored, 3u);
  EXPECT_EQ(EncodeCookieFile(again, kNow), text);
  EXPECT_EQ(again.CookieHeader("https://www.example.com/app/x", kNow),
            "empty=; sid=s3cret; lang=en");
  // The session was kept; the dated cookie lapses at its time.
  EXPECT_EQ(again.CookieHeader("https://www.example.com/", kNow + 3600), "sid=s3cret");

  TCookieJar none;
  const TCookieFileLoad missing = LoadCookieFile(dir / "nothing.cookies", none, kNow);
  EXPECT_TRUE(missing.Read && missing.Missing);
  EXPECT_FALSE(LoadCookieFile(dir.Path(), none, kNow).Read);  // a folder
}

TEST(CookieFile, ImportsWhatOtherProgramsWriteAndRefusesWhatNoSiteMayHold) {
  const std::string text =
      "# HTTP Cookie File\r\n"
      "\r\n"
      ".example.com\tTRUE\t/\tFALSE\t0\tok\t1\r\n"
      "host.test\tFALSE\t/p\tFALSE\t99999999999999999999\tnovalue\r\n"
      ".co.uk\tTRUE\t/\tFALSE\t0\tsuffix\t1\n"
      "old.test\tFALSE\t/\tFALSE\t1000\texpired\t1\n"
      "bad.test\tMAYBE\t/\tFALSE\t0\tflag\t1\n"
      "bad.test\tFALSE\tnoslash\tFALSE\t0\tpath\t1\n"
      "bad.test\tFALSE\t/\tFALSE\t-5\tdate\t1\n"
      "too\tfew\tfields\n"
      "#HttpOnly_\tFALSE\t/\tFALSE\t0\tnodomain\t1\n";
  TCookieJar jar;
  const TCookieFileLoad load = DecodeCookieFile(text, jar, kNow);
  EXPECT_EQ(load.Stored, 2u);
  EXPECT_EQ(load.Skipped, 7u);
  EXPECT_EQ(jar.CookieHeader("http://www.example.com/", kNow), "ok=1");
  EXPECT_EQ(jar.CookieHeader("http://host.test/p/q", kNow), "novalue=");
}

}  // namespace
}  // namespace kestrix
