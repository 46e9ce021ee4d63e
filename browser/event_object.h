// The download-control site: which parts of a page a hosted browser may
// fetch and run. Owners change the option set before they navigate; the
// flag values are the ones browser hosts publish, so callers that only
// know the sum keep working.
#pragma once

#include <cstdint>

namespace kestrix {

enum class TDownloadOption : unsigned {
  Images = 0,
  Videos = 1,
  BgSounds = 2,
  NoScripts = 3,
  NoJava = 4,
  NoRunActiveX = 5,
  NoDownloadActiveX = 6,
  DownloadOnly = 7,
  NoFrameDownload = 8,
  Resynchronize = 9,
  PragmaNoCache = 10,
  ForceOffline = 11,
  NoClientPull = 12,
  Silent = 13,
  OfflineIfNotConnected = 14,
};

// Result codes in the form hosts of browser controls expect.
inline constexpr std::uint32_t kSOk = 0;
inline constexpr std::uint32_t kENotImpl = 0x80004001;

inline constexpr std::int32_t kDispidAmbientDlControl = -5512;
inline constexpr std::uint16_t kDispatchPropertyGet = 2;

class TEventObject {
 public:
  // Images, videos, background sounds, no-cache, force offline, no client
  // pull and silent.
  static constexpr std::uint16_t kInitialOptions = 0x3C07;

  static std::uint32_t OptionValue(TDownloadOption option);

  TEventObject() { SetOptions(kInitialOptions); }

  std::uint16_t Options() const { return options_; }
  void SetOptions(std::uint16_t options);
  void Add(TDownloadOption option);
  void Remove(TDownloadOption option);
  bool Has(TDownloadOption option) const;

  std::uint32_t FlagSum() const { return flag_sum_; }

  // Answers the ambient download-control property (a property get of
  // kDispidAmbientDlControl with a place for the result) with the flag sum;
  // everything else is kENotImpl and leaves `result` alone.
  std::uint32_t Invoke(std::int32_t dispid, std::uint16_t flags, std::int32_t* result) const;

 private:
  std::uint16_t options_ = 0;
  std::uint32_t flag_sum_ = 0;
};

}  // namespace kestrix
