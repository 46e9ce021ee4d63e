// The pure rules under the hidden browser: how captured targets lose the
// fake base, which requests a page may make, and the engine's switches.
#include "browser/page_origin.h"
#include "browser/request_filter.h"
#include "browser/web_engine_setup.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

struct StripCase {
  std::string url;
  std::string want;
};

class StripBase : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripBase, GivesTargetsBackAsWritten) {
  EXPECT_EQ(StripPageBase(GetParam().url), GetParam().want) << GetParam().url;
}

const std::string kBase = PageBaseUrl();
const std::string kOrigin = std::string(kPageScheme) + "://page";

INSTANTIATE_TEST_SUITE_P(
    Cases, StripBase,
    ::testing::Values(StripCase{kBase + "x/y.htm", "x/y.htm"},
                      StripCase{kBase + "a.htm?q=1#f", "a.htm?q=1#f"},
                      StripCase{kBase + "?q=1", "?q=1"}, StripCase{kBase, ""},
                      StripCase{kOrigin + "/~kx1/~kx2/~kx3/~kx4/~kx5/~kx6/~kx7/a.htm", "../a.htm"},
                      StripCase{kOrigin + "/~kx1/a.htm", "../../../../../../../a.htm"},
                      StripCase{kOrigin + "/a.htm", "/a.htm"},
                      StripCase{kOrigin + "/~kx10/a.htm", "/~kx10/a.htm"},
                      StripCase{kOrigin + "/", "/"}, StripCase{kOrigin, "/"},
                      StripCase{"KESTRIX-PAGE://PAGE" + kBase.substr(kOrigin.size()) + "b.htm",
                                "b.htm"},
                      StripCase{kOrigin + "x.example/a.htm", kOrigin + "x.example/a.htm"},
                      StripCase{"http://other.example/p.htm", "http://other.example/p.htm"},
                      StripCase{"file:///etc/passwd", "file:///etc/passwd"},
                      StripCase{"mailto:joe@example.com", "mailto:joe@example.com"}));

struct LoadCase {
  const char* what;
  TRequestRules rules;
  bool global_offline;
  const char* scheme;
  TRequestKind kind;
  bool allowed;
};

class Requests : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Requests, FollowTheRules) {
  const LoadCase& c = GetParam();
  EXPECT_EQ(MayLoad(c.rules, c.global_offline, c.scheme, c.kind), c.allowed) << c.what;
}

TRequestRules Sealed() {
  TRequestRules r;
  r.sealed_scheme = kPageScheme;
  return r;
}
TRequestRules Offline() {
  TRequestRules r;
  r.offline = true;
  return r;
}
TRequestRules NoFrames() {
  TRequestRules r;
  r.block_frames = true;
  return r;
}
TRequestRules DownloadOnly() {
  TRequestRules r;
  r.download_only = true;
  return r;
}

using K = TRequestKind;
INSTANTIATE_TEST_SUITE_P(
    Cases, Requests,
    ::testing::Values(
        LoadCase{"online page", {}, false, "http", K::MainFrame, true},
        LoadCase{"online image", {}, false, "https", K::Other, true},
        LoadCase{"program offline", {}, true, "http", K::Other, false},
        LoadCase{"program offline, saved file", {}, true, "file", K::MainFrame, true},
        LoadCase{"program offline, websocket", {}, true, "ws", K::Other, false},
        LoadCase{"forced offline", Offline(), false, "http", K::MainFrame, false},
        LoadCase{"forced offline, data", Offline(), false, "data", K::Other, true},
        LoadCase{"no frames, frame", NoFrames(), false, "http", K::SubFrame, false},
        LoadCase{"no frames, page", NoFrames(), false, "http", K::MainFrame, true},
        LoadCase{"download only, image", DownloadOnly(), false, "http", K::Other, false},
        LoadCase{"download only, page", DownloadOnly(), false, "http", K::MainFrame, true},
        LoadCase{"sealed, own page", Sealed(), false, kPageScheme, K::MainFrame, true},
        LoadCase{"sealed, own scheme subresource", Sealed(), false, kPageScheme, K::Other, false},
        LoadCase{"sealed, file", Sealed(), false, "file", K::MainFrame, false},
        LoadCase{"sealed, data", Sealed(), false, "data", K::Other, false},
        LoadCase{"sealed, http", Sealed(), false, "http", K::MainFrame, false}));

TEST(EngineFlags, AddsOnlyWhatIsNeeded) {
  const std::string always = "--disable-background-networking --disable-ipc-flooding-protection";
  EXPECT_EQ(EngineFlags("", false, false), always);
  EXPECT_EQ(EngineFlags("", true, true), "--no-sandbox --disable-gpu " + always);
  EXPECT_EQ(EngineFlags("--no-sandbox --disable-gpu=1", true, true),
            "--no-sandbox --disable-gpu=1 " + always);
  // A switch that merely starts alike is another switch.
  EXPECT_EQ(EngineFlags("--no-sandboxing", true, false), "--no-sandboxing --no-sandbox " + always);
}

}  // namespace
}  // namespace kestrix
