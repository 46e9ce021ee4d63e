// Cookies as browsers keep them: the Set-Cookie reader, the jar's rules for
// domains, paths, expiry and bounds, and the cookies file.
#include "engine/cookie_jar.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "engine/cookie_file.h"
#include "engine/header_date.h"
#include "engine/set_cookie.h"
#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

const int64_t kNow = UnixSecondsOf(2024, 1, 1, 0, 0, 0);

TEST(HeaderDate, ReadsTheFormsServersSend) {
  const auto rows = test::ReadRows("engine/politeness.txt", "date");
  ASSERT_GE(rows.size(), 15u);
  for (const auto& row : rows) {
    const std::optional<int64_t> got = ParseHeaderDate(row[0]);
    EXPECT_EQ(got, row[1] == "-" ? std::nullopt : std::optional<int64_t>(std::stoll(row[1])))
        << row[0];
  }
}

TEST(SetCookie, ReadsNameValueAndAttributes) {
  const auto rows = test::ReadRows("engine/politeness.txt", "set-cookie");
  ASSERT_GE(rows.size(), 8u);
  const auto number = [](std::optional<int64_t> v) { return v ? std::to_string(*v) : "-"; };
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    const std::optional<TSetCookie> c = ParseSetCookie(row[0]);
    ASSERT_EQ(c.has_value(), row.size() > 1);
    if (!c) continue;
    EXPECT_EQ(c->Name + "|" + c->Value + "|" + c->Domain + "|" + c->Path,
              row[1] + "|" + row[2] + "|" + row[3] + "|" + row[4]);
    EXPECT_EQ(number(c->MaxAge) + " " + number(c->Expires), row[5] + " " + row[6]);
    EXPECT_EQ(c->Secure && c->HttpOnly, row[7] == "yes");
  }
  EXPECT_EQ(ParseSetCookie("k=v; Path=/" + std::string(1100, 'p'))->Path, "");
}

// One table for what a site sets and what each later request carries.
TEST(CookieJar, StoresAndSendsByTheRulesBrowsersFollow) {
  const std::map<std::string, TCookieVerdict> verdicts = {
      {"Stored", TCookieVerdict::Stored},
      {"Deleted", TCookieVerdict::Deleted},
      {"ForeignDomain", TCookieVerdict::ForeignDomain},
      {"PublicSuffix", TCookieVerdict::PublicSuffix},
      {"Malformed", TCookieVerdict::Malformed}};
  const auto rows = test::ReadRows("engine/politeness.txt", "cookie");
  ASSERT_GE(rows.size(), 23u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " " + row[1] + " -> " + row[3]);
    TCookieJar jar;
    EXPECT_EQ(jar.SetCookie(row[0], row[1], kNow), verdicts.at(row[2]));
    EXPECT_EQ(jar.CookieHeader(row[3], kNow), row[4]);
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
  test::TScratchDir dir;
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
  const std::string text = test::ReadWholeFile(path);
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
  std::string text;
  size_t stored = 0, skipped = 0;
  for (const auto& row : test::ReadRows("engine/politeness.txt", "import")) {
    text += row[0];
    stored += row[1] == "stored";
    skipped += row[1] == "skipped";
  }
  ASSERT_GE(stored + skipped, 9u);
  TCookieJar jar;
  const TCookieFileLoad load = DecodeCookieFile(text, jar, kNow);
  EXPECT_EQ(load.Stored, stored);
  EXPECT_EQ(load.Skipped, skipped);
  EXPECT_EQ(jar.CookieHeader("http://www.example.com/", kNow), "ok=1");
  EXPECT_EQ(jar.CookieHeader("http://host.test/p/q", kNow), "novalue=");
}

}  // namespace
}  // namespace kestrix
