#include "http/reply_framing.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/http/framing.txt.
TEST(FramingOf, WhereTheBodyEndsOrWhyItCannotBeKnown) {
  const std::map<std::string, TBodyFraming> kinds = {{"Length", TBodyFraming::Length},
                                                     {"None", TBodyFraming::None},
                                                     {"Close", TBodyFraming::Close},
                                                     {"Chunked", TBodyFraming::Chunked}};
  const std::map<std::string, TContentCoding> codingsByName = {{"gzip", TContentCoding::Gzip},
                                                               {"br", TContentCoding::Brotli}};
  const auto rows = test::ReadRows("http/framing.txt");
  ASSERT_GE(rows.size(), 18u);
  for (const auto& r : rows) {
    SCOPED_TRACE(r[2] + " / " + r[3]);
    std::vector<std::string> lengths;
    std::istringstream lines(r[2]);
    for (std::string line; std::getline(lines, line, '/');)
      if (line != "-") lengths.push_back(line);
    const TReplyFraming f =
        FramingOf(std::stoi(r[0]), r[1] == "1", lengths, r[3] == "-" ? "" : r[3]);
    if (r[4].starts_with("error ")) {
      EXPECT_TRUE(f.Error.starts_with(r[4].substr(6))) << f.Error;
      continue;
    }
    std::istringstream framing(r[4]);
    std::string kind, coding;
    framing >> kind;
    EXPECT_EQ(f.Error, "");
    EXPECT_EQ(f.Kind, kinds.at(kind));
    if (kind == "Length") {
      framing >> coding;
      EXPECT_EQ(std::to_string(f.Length), coding);
      continue;
    }
    std::vector<TContentCoding> codings;
    while (framing >> coding) codings.push_back(codingsByName.at(coding));
    EXPECT_EQ(f.TransferCodings, codings);
  }
}

}  // namespace
}  // namespace kestrix
