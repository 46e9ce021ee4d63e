#include "http/reply_framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrix {
namespace {

TEST(FramingOf, WhereTheBodyEndsOrWhyItCannotBeKnown) {
  using K = TBodyFraming;
  const auto gzip = TContentCoding::Gzip;
  const struct Case {
    int status;
    bool head;
    std::vector<std::string> lengths;
    const char* transfer;
    K kind;
    std::int64_t length;
    std::vector<TContentCoding> codings;
    const char* error;
  } cases[] = {
      {200, false, {"10"}, "", K::Length, 10, {}, ""},
      {200, false, {"10", "10"}, "", K::Length, 10, {}, ""},
      {200, false, {"10, 10"}, "", K::Length, 10, {}, ""},
      {200, false, {"0"}, "", K::None, 0, {}, ""},
      {200, false, {}, "", K::Close, -1, {}, ""},
      {200, false, {}, "Chunked", K::Chunked, -1, {}, ""},
      {200, false, {}, "gzip, chunked", K::Chunked, -1, {gzip}, ""},
      {200, false, {}, "gzip", K::Close, -1, {gzip}, ""},  // only the close ends it
      {200, true, {"10"}, "", K::None, -1, {}, ""},
      {304, false, {"10"}, "chunked", K::None, -1, {}, ""},
      {204, false, {}, "", K::None, -1, {}, ""},
      {200, false, {"10", "11"}, "", K::Close, 10, {}, "conflicting Content-Length values"},
      {200, false, {"10, 11"}, "", K::Close, 10, {}, "conflicting Content-Length values"},
      {200, false, {"-1"}, "", K::Close, -1, {}, "Content-Length is not a length: -1"},
      {200, false, {"1e3"}, "", K::Close, -1, {}, "Content-Length is not a length: 1e3"},
      {200, false, {"3"}, "chunked", K::Close, -1, {}, "both Content-Length and Transfer-Encoding"},
      {200, false, {}, "chunked, gzip", K::Close, -1, {}, "the chunked coding is not the last"},
      {200,
       false,
       {},
       "x-rot13, chunked",
       K::Close,
       -1,
       {},
       "unsupported Transfer-Encoding: x-rot13"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.transfer) + " / " + (c.lengths.empty() ? "" : c.lengths[0]));
    const TReplyFraming f = FramingOf(c.status, c.head, c.lengths, c.transfer);
    if (*c.error) {
      EXPECT_TRUE(f.Error.starts_with(c.error)) << f.Error;
      continue;
    }
    EXPECT_EQ(f.Error, "");
    EXPECT_EQ(f.Kind, c.kind);
    if (c.kind == K::Length) {
      EXPECT_EQ(f.Length, c.length);
    }
    EXPECT_EQ(f.TransferCodings, c.codings);
  }
}

}  // namespace
}  // namespace kestrix
