// The pure rules under the hidden browser: how captured targets lose the
// fake base, how grids decode bytes, which files and requests a page may
// reach (the table tests/fixtures/browser/rules.txt), and the engine's
// switches.
#include "browser/page_charset.h"
#include "browser/page_origin.h"
#include "browser/request_filter.h"
#include "browser/web_engine_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

// `text` with each "{name}" of `values` put in.
std::string Fill(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [name, value] : values) {
    for (size_t at; (at = text.find("{" + name + "}")) != std::string::npos;) {
      text.replace(at, name.size() + 2, value);
    }
  }
  return text;
}

TEST(BrowserRules, Table) {
  test::TScratchDir dir;
  dir.WriteFile("site/sub/a.htm", "a");
  dir.WriteFile("site2/b.htm", "b");
  std::filesystem::create_symlink(dir.Path() + "site2/b.htm", dir.Path() + "site/sub/link.htm");
  const std::string base = PageBaseUrl(), origin = std::string(kPageScheme) + "://page";
  const std::map<std::string, std::string> values = {{"base", base},
                                                     {"basepath", base.substr(origin.size())},
                                                     {"origin", origin},
                                                     {"page", kPageScheme},
                                                     {"root", dir.Path() + "site"},
                                                     {"dir", dir.Path()}};
  const std::map<std::string, TRequestKind> kinds = {{"page", TRequestKind::MainFrame},
                                                     {"frame", TRequestKind::SubFrame},
                                                     {"image", TRequestKind::Image},
                                                     {"other", TRequestKind::Other}};
  const auto rows = test::ReadRows("browser/rules.txt");
  ASSERT_GE(rows.size(), 45u);
  for (std::vector<std::string> row : rows) {
    for (std::string& field : row) field = Fill(field, values);
    SCOPED_TRACE(row[0] + " | " + row[1] + " | " + row[2]);
    if (row[0] == "strip") {
      EXPECT_EQ(StripPageBase(row[1]), row[2]);
    } else if (row[0] == "text") {
      EXPECT_EQ(GridText(row[1], row[2]), QString::fromStdString(row[3]));
    } else if (row[0] == "inside") {
      EXPECT_EQ(IsInsideFolder(row[1], row[2]), row[3] == "1");
    } else {
      ASSERT_EQ(row[0], "load");
      TRequestRules rules;
      rules.offline = row[1] == "offline";
      rules.block_frames = row[1] == "no-frames";
      rules.no_images = row[1] == "no-images";
      rules.download_only = row[1] == "download-only";
      if (row[1] == "sealed") rules.sealed_scheme = kPageScheme;
      EXPECT_EQ(MayLoad(rules, row[2] == "1", row[3], kinds.at(row[4])), row[5] == "1");
    }
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
