#include "browser/event_object.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(EventObject, FlagSumsFollowTheSet) {
  EXPECT_EQ(TEventObject().Options(), 0x3C07);
  const struct {
    const char* what;
    void (*change)(TEventObject&);
    std::uint32_t sum;
  } cases[] = {
      {"the host defaults", [](TEventObject&) {}, 0x70004070u},
      {"add download only", [](TEventObject& s) { s.Add(TDownloadOption::DownloadOnly); },
       0x70004870u},
      {"remove force offline", [](TEventObject& s) { s.Remove(TDownloadOption::ForceOffline); },
       0x60004070u},
      {"remove an absent option", [](TEventObject& s) { s.Remove(TDownloadOption::NoScripts); },
       0x70004070u},
      {"preview of a live page",
       [](TEventObject& s) {
         s.Remove(TDownloadOption::ForceOffline);
         s.Add(TDownloadOption::OfflineIfNotConnected);
       },
       0xE0004070u},
      {"assign everything", [](TEventObject& s) { s.SetOptions(0x7FFF); }, 0xF0007FF0u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TEventObject site;
    c.change(site);
    EXPECT_EQ(site.FlagSum(), c.sum);
    std::int32_t answer = 0;
    ASSERT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, &answer), kSOk);
    EXPECT_EQ(static_cast<std::uint32_t>(answer), c.sum);
    // Only the one property is answered, and only when read.
    answer = 12345;
    EXPECT_EQ(site.Invoke(-709, kDispatchPropertyGet, &answer), kENotImpl);
    EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, 4, &answer), kENotImpl);  // a put
    EXPECT_EQ(site.Invoke(kDispidAmbientDlControl, kDispatchPropertyGet, nullptr), kENotImpl);
    EXPECT_EQ(answer, 12345);
  }
}

}  // namespace
}  // namespace kestrix
