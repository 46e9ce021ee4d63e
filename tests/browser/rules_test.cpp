// The pure rules under the hidden browser: how captured targets lose the
// fake base, which requests a page may make, and the engine's switches.
#include "browser/page_charset.h"
#include "browser/page_origin.h"
#include "browser/request_filter.h"
#include "browser/web_engine_setup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

TEST(StripPageBase, GivesTargetsBackAsWritten) {
  const std::string base = PageBaseUrl();
  const std::string origin = std::string(kPageScheme) + "://page";
  const struct {
    std::string url;
    std::string want;
  } cases[] = {
      {base + "x/y.htm", "x/y.htm"},
      {base + "a.htm?q=1#f", "a.htm?q=1#f"},
      {base, ""},
      // Above the page's folder, climbing as far as the fake folders go.
      {origin + "/~kx1/~kx2/~kx3/~kx4/~kx5/~kx6/~kx7/a.htm", "../a.htm"},
      {origin + "/~kx1/a.htm", "../../../../../../../a.htm"},
      {origin + "/a.htm", "/a.htm"},
      {origin + "/~kx10/a.htm", "/~kx10/a.htm"},
      {origin, "/"},
      {"KESTRIX-PAGE://PAGE" + base.substr(origin.size()) + "b.htm", "b.htm"},
      // Other places, a look-alike host among them, stay whole.
      {origin + "x.example/a.htm", origin + "x.example/a.htm"},
      {"http://other.example/p.htm", "http://other.example/p.htm"},
      {"file:///etc/passwd", "file:///etc/passwd"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripPageBase(c.url), c.want) << c.url;
}

// A grid never shows replacement marks: a declared charset decodes the
// bytes, an unknown one falls back to UTF-8 when valid, else to Latin-1.
TEST(GridText, DecodesByTheDeclaredCharsetOrShowsEveryByte) {
  const struct {
    std::string bytes;
    std::string charset;
    QString shown;
  } cases[] = {
      {"\xe4\xc1\xcc\xd8\xdb\xc5", "koi8-r",
       QStringLiteral("\u0414\u0430\u043b\u044c\u0448\u0435")},
      {"\xa9 \xb7", "iso-8859-1", QStringLiteral("\u00a9 \u00b7")},
      {"\xc2\xa9", "", QStringLiteral("\u00a9")},
      {"\xa9 \xb7", "", QStringLiteral("\u00a9 \u00b7")},
      {"\xa9", "no-such-charset", QStringLiteral("\u00a9")},
  };
  for (const auto& c : cases) EXPECT_EQ(GridText(c.bytes, c.charset), c.shown) << c.charset;
}

// The preview and the page filter show files of the project folder only.
TEST(IsInsideFolder, ResolvesLinksAndDotsOnBothSides) {
  test::TScratchDir dir;
  const std::string root = dir.Path() + "site";
  dir.WriteFile("site/sub/a.htm", "a");
  dir.WriteFile("site2/b.htm", "b");
  std::filesystem::create_symlink(dir.Path() + "site2/b.htm", root + "/sub/link.htm");
  const struct {
    std::string folder, path;
    bool inside;
  } cases[] = {
      {root, root + "/sub/a.htm", true},
      {root + "/", root + "/sub/../sub/a.htm", true},
      {root, root + "/not-yet.htm", true},
      {root, root, false},
      {root, root + "/", false},
      {root, dir.Path() + "site2/b.htm", false},  // a sibling sharing the name
      {root, root + "/../site2/b.htm", false},
      {root, root + "/sub/link.htm", false},
      {"", root + "/sub/a.htm", false},
      {root, "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInsideFolder(c.folder, c.path), c.inside) << c.path;
}

TEST(MayLoad, FollowsTheRules) {
  using K = TRequestKind;
  TRequestRules online, offline, noFrames, noImages, downloadOnly, sealed;
  noImages.no_images = true;
  offline.offline = true;
  noFrames.block_frames = true;
  downloadOnly.download_only = true;
  sealed.sealed_scheme = kPageScheme;
  const struct {
    const char* what;
    const TRequestRules& rules;
    bool globalOffline;
    const char* scheme;
    TRequestKind kind;
    bool allowed;
  } cases[] = {
      {"online page", online, false, "http", K::MainFrame, true},
      {"online image", online, false, "https", K::Other, true},
      {"program offline", online, true, "http", K::Other, false},
      {"program offline, saved file", online, true, "file", K::MainFrame, true},
      {"program offline, websocket", online, true, "ws", K::Other, false},
      {"forced offline", offline, false, "http", K::MainFrame, false},
      {"forced offline, data", offline, false, "data", K::Other, true},
      {"no frames, frame", noFrames, false, "http", K::SubFrame, false},
      {"no frames, page", noFrames, false, "http", K::MainFrame, true},
      {"no images, image", noImages, false, "http", K::Image, false},
      {"no images, page", noImages, false, "http", K::MainFrame, true},
      {"download only, image", downloadOnly, false, "http", K::Image, false},
      {"download only, page", downloadOnly, false, "http", K::MainFrame, true},
      {"sealed, own page", sealed, false, kPageScheme, K::MainFrame, true},
      {"sealed, own scheme subresource", sealed, false, kPageScheme, K::Other, false},
      {"sealed, file", sealed, false, "file", K::MainFrame, false},
      {"sealed, data", sealed, false, "data", K::Other, false},
      {"sealed, http", sealed, false, "http", K::MainFrame, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MayLoad(c.rules, c.globalOffline, c.scheme, c.kind), c.allowed) << c.what;
  }
}

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
