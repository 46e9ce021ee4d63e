#include <gtest/gtest.h>

#include "links/html_items.h"

namespace kestrix {
namespace {

struct DecodeCase {
  const char* in;
  const char* want;
};

class DecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, Decodes) {
  EXPECT_EQ(DecodeHtmlText(GetParam().in), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    References, DecodeTable,
    ::testing::Values(DecodeCase{"&amp;", "&"}, DecodeCase{"&#65;", "A"}, DecodeCase{"&#x41;", "A"},
                      DecodeCase{"&#X41;", "A"}, DecodeCase{"&#0065;", "&#0065;"},  // four digits
                      DecodeCase{"&#160;", " "}, DecodeCase{"&nbsp;", " "}, DecodeCase{"&#7;", " "},
                      DecodeCase{"&yuml;", "\xFF"}, DecodeCase{"&Agrave;&agrave;", "\xC0\xE0"},
                      DecodeCase{"&amp x", "&amp x"},  // ended by a space: no name matches
                      DecodeCase{"a &lt", "a <"},      // cut off by the end: prefix match
                      DecodeCase{"&#65; B", "A B"}, DecodeCase{"&#65 B", "AB"},
                      DecodeCase{"&#300;", "&#300;"},  // above one byte: left as written
                      DecodeCase{"&#x;&#;&#-1;", "&#x;&#;&#-1;"},
                      DecodeCase{"&amp;lt;", "&lt;"},  // a decoded "&" is not read again
                      DecodeCase{"a&b&amp;", "a&b&"}, DecodeCase{"Tom &", "Tom &"},
                      DecodeCase{"&AMP;", "&AMP;"}));

INSTANTIATE_TEST_SUITE_P(
    Whitespace, DecodeTable,
    ::testing::Values(DecodeCase{"a\nb", "a b"}, DecodeCase{"a  \n  b", "a b"},
                      DecodeCase{"a\tb", "ab"},
                      // tabs go after spaces were folded
                      DecodeCase{"a \t b", "a  b"}, DecodeCase{" lead ", " lead "},
                      // marks on either side of 8-byte boundaries
                      DecodeCase{"1234567  89", "1234567 89"},
                      DecodeCase{"12345678  9", "12345678 9"},
                      DecodeCase{"1234567 ! 9 !", "1234567 ! 9 !"},
                      DecodeCase{"123456781234567\t", "123456781234567"},
                      DecodeCase{"1234567812345678&lt;", "1234567812345678<"}));

}  // namespace
}  // namespace kestrix
