#include "links/html_parser.h"

#include <gtest/gtest.h>

#include "tests/links/analysis_fixture.h"

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
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const THTMLItem& item : parser_.Items) {
      if (THTMLText* text = AsText(item)) texts.push_back(text->Text);
    }
    return texts;
  }

  std::vector<std::string> lines_;
  THTMLParser parser_;
};

constexpr uint16_t kDownloader = kKeepFrame | kKeepIFrame | kKeepA | kKeepImg;

TEST_F(ParserTest, LaterTextRunReplacesEarlierOneAndUnknownTagsAreDropped) {
  Parse(R"(<a href="x.html">Hello <b>World</b></a>)", kKeepA);
  ASSERT_EQ(Tags().size(), 1u);
  THTMLTag* a = Tags()[0];
  EXPECT_EQ(a->Name, "A");
  EXPECT_EQ(a->Kind, kKindA);
  ASSERT_NE(a->Text, nullptr);
  EXPECT_EQ(a->Text->Text, "World");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Hello ", "World"}));
}

TEST_F(ParserTest, ImageTextComesFromAltAndImageNeverOpensAnElement) {
  Parse(R"(<a href="x.html"><img src="p.gif" alt="Photo"></a>)", kDownloader);
  const auto tags = Tags();
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0]->Text, nullptr);
  ASSERT_NE(tags[1]->Text, nullptr);
  EXPECT_EQ(tags[1]->Text->Text, "Photo");
  EXPECT_EQ(tags[1]->Parent, tags[0]);
  EXPECT_TRUE(Texts().empty());  // alt texts are never listed
}

TEST_F(ParserTest, TextOnConsecutiveLinesIsJoinedWithNothingBetween) {
  Parse("Hello\nWorld", kKeepTexts);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"HelloWorld"}));
}

TEST_F(ParserTest, CommentsAndScriptBodiesHideTags) {
  Parse(R"(<!-- <a href="x.html"> --><a href="y.html">)", kKeepA);
  ASSERT_EQ(Tags().size(), 1u);
  EXPECT_EQ(Tags()[0]->Params[0].Value, "y.html");

  Parse("<script>if (a<b) x='<a href=\"x.html\">';</script><a href=\"z.html\">",
        kKeepA | kKeepScript);
  const auto tags = Tags();
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0]->Name, "SCRIPT");
  EXPECT_EQ(tags[1]->Params[0].Value, "z.html");
  // The end of a script does not close the SCRIPT element.
  EXPECT_EQ(tags[1]->Parent, tags[0]);

  Parse("<!-- never closed <a href=\"x.html\">\n<a href=\"y.html\">", kKeepAll);
  EXPECT_TRUE(parser_.Items.empty());
}

TEST_F(ParserTest, AttributesAreCutAtSpacesUnlessAnEqualsSignOrQuoteFollows) {
  Parse(R"(<a href = "a.html">)", kKeepA);
  ASSERT_EQ(Tags()[0]->Params.size(), 1u);
  EXPECT_EQ(Tags()[0]->Params[0].Name, "href");
  EXPECT_EQ(Tags()[0]->Params[0].Value, "a.html");
  EXPECT_EQ(Tags()[0]->Params[0].RawText, R"(href="a.html")");

  Parse("<a href= src.html>", kKeepA);
  const auto& params = Tags()[0]->Params;
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].Name, "href");
  EXPECT_EQ(params[0].Value, "");
  EXPECT_EQ(params[1].Name, "src.html");

  Parse(R"(<a title='it"s' href="b.html"x>)", kKeepA);
  ASSERT_EQ(Tags()[0]->Params.size(), 1u);
  EXPECT_EQ(Tags()[0]->Params[0].Value, "b.html");
}

TEST_F(ParserTest, LinkWordsAndAltAreFoundAnywhereInTheAttribute) {
  Parse(R"(<a title="see URL" class="salt" name="n">)", kKeepA);
  THTMLTag* a = Tags()[0];
  ASSERT_EQ(a->Params.size(), 1u);
  EXPECT_EQ(a->Params[0].Name, "title");
  ASSERT_NE(a->Text, nullptr);
  EXPECT_EQ(a->Text->Text, "salt");
  EXPECT_EQ(a->FindParam("TITLE"), &a->Params[0]);
  EXPECT_EQ(a->FindParam("name"), nullptr);
}

TEST_F(ParserTest, ClosingTagClosesTheInnermostElementWhateverItsName) {
  Parse(R"(<a href="x"><link href="s.css"></a>tail)", kKeepA | kKeepLink | kKeepTexts);
  const auto tags = Tags();
  ASSERT_EQ(tags.size(), 2u);
  THTMLText* tail = AsText(parser_.Items.back());
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(tail->Parent, tags[0]);  // </a> closed the LINK, the A is still open

  Parse("</a></a>text", kKeepTexts);  // stray closings change nothing
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(AsText(parser_.Items[0])->Parent, nullptr);
}

TEST_F(ParserTest, KeptKindsChooseTheListedTags) {
  const std::string page =
      R"(<base href="b/"><form action="f"><area href="r"><meta content="c; URL=u">)"
      R"(<a href="a"><img src="i"><frame src="f"><iframe src="i"><embed src="e">)"
      R"(<link href="l"><script src="s"></script>)";
  struct Case {
    uint16_t kept;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {0, {"BASE", "FORM", "AREA", "META"}},
      {kDownloader, {"BASE", "FORM", "AREA", "META", "A", "IMG", "FRAME", "IFRAME"}},
      {kKeepEmbed | kKeepLink | kKeepScript,
       {"BASE", "FORM", "AREA", "META", "EMBED", "LINK", "SCRIPT"}},
      {kKeepAll,
       {"BASE", "FORM", "AREA", "META", "A", "IMG", "FRAME", "IFRAME", "EMBED", "LINK", "SCRIPT"}},
  };
  for (const Case& c : cases) {
    Parse(page, c.kept);
    std::vector<std::string> names;
    for (THTMLTag* tag : Tags()) names.push_back(tag->Name);
    EXPECT_EQ(names, c.names) << c.kept;
  }
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

TEST_F(ParserTest, UnterminatedTagAtTheEndIsStillBuilt) {
  // The last ">" read was that of a closing tag; the cut-off tag opens all
  // the same.
  Parse("</a><a href=\"x.html", kKeepA);
  ASSERT_EQ(Tags().size(), 1u);
  EXPECT_EQ(Tags()[0]->Params[0].Value, "x.html");
}

TEST_F(ParserTest, HasScriptIsSetByScriptAttributesAndResetOnlyByClear) {
  struct Case {
    const char* page;
    bool hasScript;
  };
  const Case cases[] = {
      {R"(<a href="x.html">)", false},
      {R"h(<a href="javascript:go()">)h", true},
      {R"h(<area onclick="go()">)h", true},
      {R"h(<div onClick="go()">)h", true},    // dropped tags are read too
      {R"(<a title="javascript:">)", false},  // no link word in the attribute
  };
  for (const Case& c : cases) {
    Parse(c.page, kKeepA);
    EXPECT_EQ(parser_.HasScript, c.hasScript) << c.page;
  }
  Parse(R"h(<a href="javascript:go()">)h", kKeepA);
  lines_ = {R"(<a href="x.html">)"};
  parser_.Parse();
  EXPECT_TRUE(parser_.HasScript);
  parser_.Clear();
  EXPECT_FALSE(parser_.HasScript);
  EXPECT_TRUE(parser_.Items.empty());
}

}  // namespace
}  // namespace kestrix
