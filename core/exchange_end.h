// How one HTTP exchange ended: the client's tap reports it and the web
// archive recorder writes it down, so both speak of the same values.
#pragma once

#include <cstdint>

namespace kestrix {

enum class TExchangeEnd : std::uint8_t {
  Complete,       // the reply arrived whole, as far as its framing tells
  CutLength,      // a size limit was reached
  CutTime,        // a time limit was reached
  CutDisconnect,  // the connection failed or was closed early
  CutOther,       // stopped by the user, or anything else
};

}  // namespace kestrix
