#include "core/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;
using test::WriteFile;

TEST(IniDocument, SectionsAndKeysIgnoreCaseAndValuesStayVerbatim) {
  const IniDocument doc = IniDocument::Parse(
      "\xEF\xBB\xBF[Options]\r\n"
      "DownLoadFolder=/data/sites/\r\n"
      "  ThreadCount = 4\r\n"
      "Query=a=b&c==d \r\n"
      "; a comment\r\n"
      "\r\n"
      "[ projects ]\n"
      "Alpha=Project\n");
  EXPECT_EQ(doc.ReadString("OPTIONS", "downloadfolder", "x"), "/data/sites/");
  EXPECT_EQ(doc.ReadString("Options", "query", ""), "a=b&c==d ");
  EXPECT_EQ(doc.ReadInteger("options", "THREADCOUNT", 1), 4);
  EXPECT_EQ(doc.ReadString("Options", "Missing", "fallback"), "fallback");
  EXPECT_EQ(doc.ReadString("Nowhere", "Query", "fallback"), "fallback");
  const std::vector<IniEntry> expected = {{"Alpha", "Project"}};
  EXPECT_EQ(doc.ReadSection("Projects"), expected);
  EXPECT_TRUE(doc.HasSection("PROJECTS"));
}

// The "integer" rows of tests/fixtures/core/settings.txt.
TEST(IniDocument, IntegersFallBackToTheDefaultUnlessWhollyDecimal) {
  const auto rows = test::ReadRows("core/settings.txt", "integer");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& r : rows) {
    IniDocument doc;
    ASSERT_TRUE(doc.WriteString("S", "K", r[0]));
    EXPECT_EQ(doc.ReadInteger("S", "K", -1), std::stoi(r[1])) << "stored '" << r[0] << "'";
  }
}

TEST(IniDocument, BooleansAreIntegers) {
  IniDocument doc = IniDocument::Parse("[S]\nZero=0\nTwo=2\nWord=yes\n");
  EXPECT_FALSE(doc.ReadBool("S", "Zero", true));
  EXPECT_TRUE(doc.ReadBool("S", "Two", false));
  EXPECT_FALSE(doc.ReadBool("S", "Word", false));
  EXPECT_TRUE(doc.WriteBool("S", "Two", false));
  EXPECT_EQ(doc.ReadString("S", "Two", ""), "0");
}

TEST(IniDocument, WritesReplaceInPlaceAndAppendBeforeTrailingBlankLines) {
  IniDocument doc = IniDocument::Parse("; kept\n[A]\nx=1\n; note\ny=2\n\n[B]\nz=3\n");
  EXPECT_TRUE(doc.WriteString("a", "X", "10"));
  EXPECT_TRUE(doc.WriteString("A", "new", "v"));
  EXPECT_TRUE(doc.WriteString("C", "k", "w"));
  EXPECT_EQ(doc.ToText(), "; kept\n[A]\nX=10\n; note\ny=2\nnew=v\n\n[B]\nz=3\n\n[C]\nk=w\n");
}

TEST(IniDocument, RefusesTextThatWouldBreakTheLineStructure) {
  const char* cases[][3] = {{"S", "K", "two\nlines"}, {"S", "K", "cr\r"}, {"S", "a=b", "v"},
                            {"S", "", "v"},           {"S", "[K", "v"},   {"S", ";K", "v"},
                            {"S]", "K", "v"},         {"", "K", "v"}};
  IniDocument doc;
  for (const auto& c : cases) EXPECT_FALSE(doc.WriteString(c[0], c[1], c[2])) << c[0] << c[1];
  EXPECT_EQ(doc.ToText(), "");
}

TEST(IniDocument, EraseSectionRemovesEveryCopyAndLeavesTheRest) {
  IniDocument doc = IniDocument::Parse("[A]\nx=1\n[b]\ny=2\n[B]\nz=3\n[C]\nw=4\n");
  doc.EraseSection("B");
  EXPECT_EQ(doc.ToText(), "[A]\nx=1\n[C]\nw=4\n");
}

TEST(IniFile, MissingFileReadsAsDefaultsAndFirstWriteCreatesItsFolder) {
  TScratchDir dir;
  IniFile ini(dir / "config/kestrix/kestrix.ini");
  EXPECT_EQ(ini.ReadInteger("Options", "ThreadCount", 3), 3);
  EXPECT_TRUE(ini.ReadSection("Projects").empty());
  ASSERT_TRUE(ini.WriteInteger("Options", "ThreadCount", 5));
  EXPECT_EQ(ReadWholeFile(ini.Path()), "[Options]\nThreadCount=5\n");
  // A file holding a scrambled password is not left readable by others.
  struct stat st {};
  ASSERT_EQ(stat(ini.Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(IniFile, EachCallSeesChangesMadeBehindItsBack) {
  TScratchDir dir;
  IniFile ini(dir / "k.ini");
  IniFile other(ini.Path());
  ASSERT_TRUE(ini.WriteString("S", "K", "first"));
  ASSERT_TRUE(other.WriteString("S", "K", "second"));
  EXPECT_EQ(ini.ReadString("S", "K", ""), "second");
  ASSERT_TRUE(ini.EraseSection("s"));
  EXPECT_EQ(other.ReadString("S", "K", "gone"), "gone");
}

TEST(IniFile, UpdateWritesABatchAsOneReplaceOrNothing) {
  TScratchDir dir;
  IniFile ini(dir / "k.ini");
  WriteFile(ini.Path(), "[S]\nold=1\n");
  EXPECT_FALSE(ini.Update([](IniDocument& doc) {
    doc.WriteString("S", "old", "2");
    return false;
  }));
  EXPECT_EQ(ReadWholeFile(ini.Path()), "[S]\nold=1\n");
  EXPECT_TRUE(ini.Update([](IniDocument& doc) {
    return doc.WriteString("S", "old", "2") && doc.WriteString("T", "k", "v");
  }));
  EXPECT_EQ(ReadWholeFile(ini.Path()), "[S]\nold=2\n\n[T]\nk=v\n");
}

TEST(IniFile, ALinkedSettingsFileStaysALink) {
  TScratchDir dir;
  WriteFile(dir / "real.ini", "[S]\nK=1\n");
  std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
  IniFile ini(dir / "link.ini");
  ASSERT_TRUE(ini.WriteString("S", "K", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadWholeFile(dir / "real.ini"), "[S]\nK=2\n");
}

// A write that runs out of room (here: the file size limit, which applies to
// root as well) must leave the old file as it was and no temporary behind.
TEST(IniFile, AnInterruptedWriteLeavesTheOldFileIntact) {
  TScratchDir dir;
  IniFile ini(dir / "k.ini");
  const std::string old = "[Options]\nThreadCount=2\n";
  WriteFile(ini.Path(), old);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tight = saved;
  tight.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = ini.WriteString("Options", "AnyBrowser", std::string(500, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadWholeFile(ini.Path()), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(IniFile, AFileThatCannotBeReadIsNeverOverwritten) {
  TScratchDir dir;
  // A folder where the file should be: reading fails with something other
  // than "missing", so a write must not start from an empty document.
  std::filesystem::create_directory(dir / "k.ini");
  IniFile ini(dir / "k.ini");
  IniDocument doc;
  EXPECT_FALSE(ini.Load(doc));
  EXPECT_FALSE(ini.WriteString("S", "K", "v"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "k.ini"));
}

}  // namespace
}  // namespace kestrix
