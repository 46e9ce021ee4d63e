// The pure rules under the hidden browser: how captured targets lose the
// fake base, how grids decode bytes, which files and requests a page may
// reach, the hosts' flag sums and the engine's switches (the table
// tests/fixtures/browser/rules.txt).
#include "browser/event_object.h"
#include "browser/page_charset.h"
#include "browser/page_origin.h"
#include "browser/request_filter.h"
#include "browser/web_engine_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

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
                                                     {"dir", dir.Path()},
                                                     {"always",
                                                      "--disable-background-networking "
                                                      "--disable-ipc-flooding-protection"}};
  const std::map<std::string, TRequestKind> kinds = {{"page", TRequestKind::MainFrame},
                                                     {"frame", TRequestKind::SubFrame},
                                                     {"image", TRequestKind::Image},
                                                     {"other", TRequestKind::Other}};
  const auto rows = test::ReadRows("browser/rules.txt");
  ASSERT_GE(rows.size(), 55u);
  for (std::vector<std::string> row : rows) {
    for (std::string& field : row) field = Fill(field, values);
    SCOPED_TRACE(row[0] + " | " + row[1] + " | " + row[2]);
    if (row[0] == "strip") {
      EXPECT_EQ(StripPageBase(row[1]), row[2]);
    } else if (row[0] == "text") {
      EXPECT_EQ(GridText(row[1], row[2]), QString::fromStdString(row[3]));
    } else if (row[0] == "inside") {
      EXPECT_EQ(IsInsideFolder(row[1], row[2]), row[3] == "1");
    } else if (row[0] == "flags") {
      TEventObject site;
      std::istringstream changes(row[1]);
      for (std::string change; changes >> change;) {
        const auto n = static_cast<std::uint16_t>(std::stoul(change.substr(1), nullptr, 0));
        if (change[0] == '=') {
          site.SetOptions(n);
        } else if (change[0] == '+') {
          site.Add(static_cast<TDownloadOption>(n));
        } else {
          site.Remove(static_cast<TDownloadOption>(n));
        }
      }
      EXPECT_EQ(site.FlagSum(), std::stoul(row[2], nullptr, 16));
      std::int32_t answer = 0;
      ASSERT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, &answer), kSOk);
      EXPECT_EQ(static_cast<std::uint32_t>(answer), site.FlagSum());
    } else if (row[0] == "engine") {
      EXPECT_EQ(EngineFlags(row[1], row[2] == "1", row[3] == "1"), row[4]);
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

// Only a read of the one property is answered.
TEST(EventObject, AnswersOnlyTheReadOfTheFlagSum) {
  const TEventObject site;
  EXPECT_EQ(site.Options(), 0x3C07);
  std::int32_t answer = 12345;
  EXPECT_EQ(site.Invoke(-709, kDispatchPropertyGet, &answer), kENotImpl);
  EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, 4, &answer), kENotImpl);  // a put
  EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, nullptr), kENotImpl);
  EXPECT_EQ(answer, 12345);
}

}  // namespace
}  // namespace kestrix
