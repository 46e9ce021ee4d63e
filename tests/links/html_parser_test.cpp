#include "links/html_parser.h"

#include <gtest/gtest.h>

#include <map>

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
  // The items in order, e.g. `A(href=x.html)"World" 'Hello '^0`: a tag with
  // its kept attributes and linked text, a text run in quotes, and "^n" for
  // the item that was open, counted from 0.
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
      if (parent != nullptr) out += "^" + std::to_string(at.at(parent));
    }
    return out;
  }

  std::vector<std::string> lines_;
  THTMLParser parser_;
};

constexpr uint16_t kDownloader = kKeepFrame | kKeepIFrame | kKeepA | kKeepImg;

TEST_F(ParserTest, ItemsTextsAndTheElementsTheyBelongTo) {
  const struct {
    const char* why;
    const char* page;
    uint16_t kept;
    const char* items;
  } cases[] = {
      {"a later text run replaces an earlier one; unknown tags are dropped",
       R"(<a href="x.html">Hello <b>World</b></a>)", kKeepA,
       R"i(A(href=x.html)"World" 'Hello '^0 'World'^0)i"},
      // Alt texts are never listed.
      {"an image's text comes from alt; an image never opens an element",
       R"(<a href="x.html"><img src="p.gif" alt="Photo"></a>)", kDownloader,
       R"i(A(href=x.html) IMG(src=p.gif)"Photo"^0)i"},
      {"text on consecutive lines is joined with nothing between", "Hello\nWorld", kKeepTexts,
       "'HelloWorld'"},
      {"comments hide tags", R"(<!-- <a href="x.html"> --><a href="y.html">)", kKeepA,
       "A(href=y.html)"},
      // The end of a script does not close the SCRIPT element.
      {"script bodies hide tags",
       "<script>if (a<b) x='<a href=\"x.html\">';</script><a href=\"z.html\">",
       kKeepA | kKeepScript, "SCRIPT() A(href=z.html)^0"},
      {"a comment never closed hides the rest",
       "<!-- never closed <a href=\"x.html\">\n<a href=\"y.html\">", kKeepAll, ""},
      {"an attribute is cut at a space unless an equals sign follows", "<a href= src.html>", kKeepA,
       "A(href=,src.html=)"},
      {"a quote ends an attribute", R"(<a title='it"s' href="b.html"x>)", kKeepA, "A(href=b.html)"},
      {"link words and alt are found anywhere in an attribute",
       R"(<a title="see URL" class="salt" name="n">)", kKeepA, R"i(A(title=see URL)"salt")i"},
      // The last ">" read was that of a closing tag; the cut-off tag opens all the same.
      {"an unterminated tag at the end is still built", "</a><a href=\"x.html", kKeepA,
       "A(href=x.html)"},
      // </a> closed the LINK, the A is still open.
      {"a closing tag closes the innermost element whatever its name",
       R"(<a href="x"><link href="s.css"></a>tail)", kKeepA | kKeepLink | kKeepTexts,
       R"i(A(href=x)"tail" LINK(href=s.css)^0 'tail'^0)i"},
      {"stray closings change nothing", "</a></a>text", kKeepTexts, "'text'"},
  };
  for (const auto& c : cases) {
    Parse(c.page, c.kept);
    EXPECT_EQ(Dump(), c.items) << c.why;
  }
  Parse(R"(<a href = "a.html">)", kKeepA);
  EXPECT_EQ(Dump(), "A(href=a.html)");
  EXPECT_EQ(Tags()[0]->Params[0].RawText, R"(href="a.html")");
  EXPECT_EQ(Tags()[0]->FindParam("HREF"), &Tags()[0]->Params[0]);
  EXPECT_EQ(Tags()[0]->FindParam("src"), nullptr);
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
