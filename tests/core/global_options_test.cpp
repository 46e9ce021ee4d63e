#include "core/global_options.h"

#include <gtest/gtest.h>

#include "core/ini_file.h"
#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;
using test::WriteFile;

const std::string kDefaultFolder = "/home/user/Downloads/";

// A blank folder and integers that are not wholly decimal read as if absent.
TEST(GlobalOptions, NoFileBlankFolderAndNonNumericIntegersGiveTheDefaults) {
  TScratchDir dir;
  TGlobalOptions expected;
  expected.DownLoadFolder = kDefaultFolder;
  EXPECT_EQ(ReadOptions(IniFile(dir / "none.ini"), kDefaultFolder), expected);
  EXPECT_EQ(expected.DefaultDoc, "index.html");
  EXPECT_EQ(expected.TimeOut, 300);
  EXPECT_TRUE(expected.GlobalOfflineFlag);
  const IniDocument doc = IniDocument::Parse(
      "[Options]\nDownLoadFolder=   \nThreadCount=many\nTimeOut=\nAgent=2x\nToTray=on\n"
      "MaxParsedPage=lots\nMaxFiles=-3\n");
  EXPECT_EQ(ReadOptions(doc, kDefaultFolder), expected);
  EXPECT_EQ(ReadOptions(IniDocument::Parse("[Options]\nDownLoadFolder=/srv/a\n"), kDefaultFolder)
                .DownLoadFolder,
            "/srv/a/");
  // Sizes are read as the command line writes them.
  EXPECT_EQ(
      ReadOptions(IniDocument::Parse("[Options]\nMaxFileSize=20M\n"), kDefaultFolder).MaxFileSize,
      20 << 20);
}

// tests/fixtures/core/options.ini: a settings file as written, every option
// off its default, the password "s3cret=!" scrambled. Read and written back
// into a file holding another section, it comes out byte for byte: every key,
// in its order, in its form.
TEST(GlobalOptions, AStoredFileReadsAndWritesBackByteForByte) {
  const std::string stored = ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/core/options.ini");
  TGlobalOptions o = ReadOptions(IniDocument::Parse(stored), kDefaultFolder);
  EXPECT_EQ(o.ProxyPswd, "s3cret=!");
  EXPECT_EQ(o.MaxFileSize, int64_t{3} << 40);
  EXPECT_TRUE(o.ToTray);
  // The run-only options are never written.
  o.RandomWait = true;
  o.LimitRate = 1000;
  o.CookieImport = "/c/in.txt";
  TScratchDir dir;
  IniFile ini(dir / "k.ini");
  WriteFile(ini.Path(), stored.substr(0, stored.find("\n\n[Options]") + 1));
  ASSERT_TRUE(WriteOptions(ini, o));
  EXPECT_EQ(ReadWholeFile(ini.Path()), stored);
}

TEST(PasswordScrambling, KnownValuesAndEveryByteRoundTrips) {
  // 'a' = 97: 97 div 3 = 32, 97 mod 3 = 1 -> 321 = 0x0141; 0x0141 xor 0x5C3A = 0x5D7B.
  // Second character: 0x0141 xor (2 * 0x5C3A = 0xB874) = 0xB935.
  EXPECT_EQ(ScramblePassword("aa"), "5D7BB935");
  EXPECT_EQ(ScramblePassword(""), "");
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  // Positions past 65536 / 0x5C3A wrap within 16 bits and still round-trip.
  all += std::string(300, '\xE9');
  const std::string scrambled = ScramblePassword(all);
  EXPECT_EQ(scrambled.size(), 4 * all.size());
  EXPECT_EQ(scrambled.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(UnscramblePassword(scrambled), all);
}

// The "unscramble" rows of tests/fixtures/core/settings.txt.
TEST(PasswordScrambling, UnscrambleStopsAtBadTextAndIgnoresLeftoverDigits) {
  const auto rows = test::ReadRows("core/settings.txt", "unscramble");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& r : rows) EXPECT_EQ(UnscramblePassword(r[0]), r[1]) << r[0];
}

// The "agent" rows of tests/fixtures/core/settings.txt.
TEST(AgentText, EachChoiceAndAnOutOfRangeValue) {
  TGlobalOptions o;
  o.MSIEVer = "6.0";
  o.NNAVVer = "4.7";
  o.OperaVer = "7.11";
  o.AnyBrowser = "Custom/1";
  const auto rows = test::ReadRows("core/settings.txt", "agent");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& r : rows) {
    o.Agent = std::stoi(r[0]);
    const std::optional<std::string> text = AgentText(o);
    EXPECT_EQ(text ? *text : "-", r[1] == "@PROGRAM@" ? ProgramAgentText() : r[1]) << r[0];
  }
  // The product token a site's robots.txt names us by, with a version.
  EXPECT_TRUE(ProgramAgentText().starts_with("Kestrix/0.")) << ProgramAgentText();
}

}  // namespace
}  // namespace kestrix
