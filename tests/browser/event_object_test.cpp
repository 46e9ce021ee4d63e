#include "browser/event_object.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(EventObject, StartsWithTheHostDefaults) {
  TEventObject site;
  EXPECT_EQ(site.Options(), 0x3C07);
  EXPECT_EQ(site.FlagSum(), 0x70004070u);
  std::int32_t answer = 0;
  EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, &answer), kSOk);
  EXPECT_EQ(static_cast<std::uint32_t>(answer), 0x70004070u);
}

struct SumCase {
  const char* what;
  void (*change)(TEventObject&);
  std::uint32_t sum;
};

class FlagSums : public ::testing::TestWithParam<SumCase> {};

TEST_P(FlagSums, FollowTheSet) {
  TEventObject site;
  GetParam().change(site);
  EXPECT_EQ(site.FlagSum(), GetParam().sum) << GetParam().what;
  std::int32_t answer = 0;
  ASSERT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, &answer), kSOk);
  EXPECT_EQ(static_cast<std::uint32_t>(answer), GetParam().sum) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlagSums,
    ::testing::Values(
        SumCase{"add download only", [](TEventObject& s) { s.Add(TDownloadOption::DownloadOnly); },
                0x70004870u},
        SumCase{"remove force offline",
                [](TEventObject& s) { s.Remove(TDownloadOption::ForceOffline); }, 0x60004070u},
        SumCase{"remove an absent option",
                [](TEventObject& s) { s.Remove(TDownloadOption::NoScripts); }, 0x70004070u},
        SumCase{"preview of a live page",
                [](TEventObject& s) {
                  s.Remove(TDownloadOption::ForceOffline);
                  s.Add(TDownloadOption::OfflineIfNotConnected);
                },
                0xE0004070u},
        SumCase{"assign everything", [](TEventObject& s) { s.SetOptions(0x7FFF); }, 0xF0007FF0u}));

TEST(EventObject, AnswersNothingElse) {
  TEventObject site;
  struct Call {
    std::int32_t dispid;
    std::uint16_t flags;
    bool with_place;
  };
  for (const Call& call : {Call{-709, kDispatchPropertyGet, true},
                           Call{kDispidAmbientDlControl, 1, true},  // a method call
                           Call{kDispidAmbientDlControl, 4, true},  // a property put
                           Call{kDispidAmbientDlControl, kDispatchPropertyGet, false},
                           Call{0, kDispatchPropertyGet, true}}) {
    std::int32_t answer = 12345;
    EXPECT_EQ(site.Invoke(call.dispid, call.flags, call.with_place ? &answer : nullptr), kENotImpl)
        << call.dispid << " " << call.flags;
    EXPECT_EQ(answer, 12345);
  }
  EXPECT_EQ(site.Options(), TEventObject::kInitialOptions);
}

}  // namespace
}  // namespace kestrix
