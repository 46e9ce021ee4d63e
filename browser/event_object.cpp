#include "browser/event_object.h"

#include <array>

namespace kestrix {
namespace {

constexpr std::array<std::uint32_t, 15> kOptionValues = {
    0x10,   0x20,   0x40,   0x80,       0x100,      0x200,      0x400,      0x800,
    0x1000, 0x2000, 0x4000, 0x10000000, 0x20000000, 0x40000000, 0x80000000,
};

std::uint16_t Bit(TDownloadOption option) {
  return static_cast<std::uint16_t>(1u << static_cast<unsigned>(option));
}

}  // namespace

std::uint32_t TEventObject::OptionValue(TDownloadOption option) {
  return kOptionValues.at(static_cast<unsigned>(option));
}

void TEventObject::SetOptions(std::uint16_t options) {
  options_ = options;
  flag_sum_ = 0;
  for (unsigned i = 0; i < kOptionValues.size(); ++i) {
    if (options_ & (1u << i)) flag_sum_ += kOptionValues[i];
  }
}

void TEventObject::Add(TDownloadOption option) {
  SetOptions(static_cast<std::uint16_t>(options_ | Bit(option)));
}

void TEventObject::Remove(TDownloadOption option) {
  SetOptions(static_cast<std::uint16_t>(options_ & ~Bit(option)));
}

bool TEventObject::Has(TDownloadOption option) const {
  return (options_ & Bit(option)) != 0;
}

std::uint32_t TEventObject::Invoke(std::int32_t dispid, std::uint16_t flags,
                                   std::int32_t* result) const {
  if (dispid != kDispidAmbientDlControl || (flags & kDispatchPropertyGet) == 0 ||
      result == nullptr) {
    return kENotImpl;
  }
  *result = static_cast<std::int32_t>(flag_sum_);
  return kSOk;
}

}  // namespace kestrix
