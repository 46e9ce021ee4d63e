#include "links/html_parser.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

class ParserTest : public ::testing::Test {
 protected:
  void Parse(const std::string& page, uint16_t kept) {
    lines_ = testing::SplitLines(page);
    parser_.Clear();
    parser_.KeptKinds = kept;
    parser_.Lines = &lines_;
    parser_.Parse();
  }
  std::vector<THTMLTag*> Tags() const {
    std::vector<THTMLTag*> tags;
    for (const THTMLItem& item : parser_.Items) {
      if (THTMLTag* tag = AsTag(item)) tags.push_back(tag);
    }
    return tags;
  }
  // The items in order, e.g. `A(href=x.html)"World" 'Hello '^0`: a tag with
  // its kept attributes and linked text, a text run in quotes, and "^n" for
  // the item that was open, counted from 0 ("^-": one not listed).
  std::string Dump() const {
    std::map<const THTMLTag*, size_t> at;
    std::string out;
    for (size_t i = 0; i < parser_.Items.size(); ++i) {
      const THTMLTag* parent = nullptr;
      if (!out.empty()) out += ' ';
      if (const THTMLTag* tag = AsTag(parser_.Items[i])) {
        at[tag] = i;
        out += tag->Name + "(";
        for (const THTMLParam& param : tag->Params) {
          out += (&param == &tag->Params[0] ? "" : ",") + param.Name + "=" + param.Value;
        }
        out += ")" + (tag->Text != nullptr ? "\"" + tag->Text->Text + "\"" : "");
        parent = tag->Parent;
      } else if (const THTMLText* text = AsText(parser_.Items[i])) {
        out += "'" + text->Text + "'";
        parent = text->Parent;
      }
      if (parent != nullptr) out += "^" + (at.contains(parent) ? std::to_string(at[parent]) : "-");
    }
    return out;
  }

  std::vector<std::string> lines_;
  THTMLParser parser_;
};

// Kinds joined by "+", as written in the table.
uint16_t Kept(const std::string& words) {
  static const std::map<std::string, uint16_t> kinds = {{"0", 0},
                                                        {"ALL", kKeepAll},
                                                        {"FRAME", kKeepFrame},
                                                        {"IFRAME", kKeepIFrame},
                                                        {"A", kKeepA},
                                                        {"IMG", kKeepImg},
                                                        {"TEXTS", kKeepTexts},
                                                        {"EMBED", kKeepEmbed},
                                                        {"LINK", kKeepLink},
                                                        {"SCRIPT", kKeepScript}};
  uint16_t kept = 0;
  std::istringstream in(words);
  for (std::string word; std::getline(in, word, '+');) kept |= kinds.at(word);
  return kept;
}

// The rows of tests/fixtures/links/parser_items.txt.
TEST_F(ParserTest, ItemsTextsAndTheElementsTheyBelongTo) {
  const auto rows = test::ReadRows("links/parser_items.txt");
  ASSERT_GE(rows.size(), 16u);
  for (const auto& row : rows) {
    Parse(row[1], Kept(row[0]));
    EXPECT_EQ(Dump(), row[2]) << row[1];
    EXPECT_EQ(parser_.HasScript, row.size() > 3) << row[1];
  }
  Parse(R"(<a href = "a.html">)", kKeepA);
  EXPECT_EQ(Tags()[0]->Params[0].RawText, R"(href="a.html")");
  EXPECT_EQ(Tags()[0]->FindParam("HREF"), &Tags()[0]->Params[0]);
  EXPECT_EQ(Tags()[0]->FindParam("src"), nullptr);
  // Whether a page has script is reset only by Clear.
  Parse(R"h(<a href="javascript:go()">)h", kKeepA);
  lines_ = {R"(<a href="x.html">)"};
  parser_.Parse();
  EXPECT_TRUE(parser_.HasScript);
  parser_.Clear();
  EXPECT_FALSE(parser_.HasScript);
  EXPECT_TRUE(parser_.Items.empty());
}

TEST_F(ParserTest, KindsCountersAndLineNumbers) {
  Parse("<A HREF=\"ftp://h/f\">\n<a\nhref=\"x.html\"\n\n>t</a>\n<img src=i>",
        kKeepAll | kKeepTexts);
  const auto tags = Tags();
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[0]->Kind, kKindFtp);
  EXPECT_EQ(tags[1]->Kind, kKindA);
  EXPECT_EQ(tags[1]->SameNameIndex, 1);
  EXPECT_EQ(tags[1]->StartLine, 1);
  EXPECT_EQ(tags[1]->EndLine, 4);
  EXPECT_EQ(tags[1]->RawText, "a href=\"x.html\" ");
  EXPECT_EQ(tags[1]->Params[0].Value, "x.html");
  EXPECT_EQ(tags[2]->Kind, kKindImg);
  EXPECT_EQ(tags[2]->StartLine, 5);
  EXPECT_EQ(parser_.TagCount("A"), 2);
  EXPECT_EQ(parser_.TagCount("IMG"), 1);
  EXPECT_EQ(parser_.TextCount(), 1);
}

TEST_F(ParserTest, TagsAreFoundAtEveryOffsetOfALongLine) {
  for (std::size_t pad = 1; pad < 20; ++pad) {
    const std::string text(pad, 'y');
    Parse(std::string(pad, 'x') + "\t<a href=\"u\">" + text + "</a>" + std::string(pad, 'z'),
          kKeepA);
    ASSERT_EQ(Tags().size(), 1u) << pad;
    ASSERT_NE(Tags()[0]->Text, nullptr);
    EXPECT_EQ(Tags()[0]->Text->Text, text);
  }
}

}  // namespace
}  // namespace kestrix
