// Sizes the user types for caps and rates ("500K", "20M", "2G") and the form
// messages give them back in ("20 MB"). One reading for every option that
// takes a size, so that "--limit-rate 200K" and a file-size cap agree on
// what K means.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// A count of bytes: digits, optionally a decimal fraction of up to three
// digits, then optionally a unit K, M, G or T (powers of 1024, any letter
// case) with or without a trailing "B" or "iB" ("20M", "20mb", "1.5 GiB"); a lone "B"
// means bytes. Blanks around the number and before the unit are allowed.
// Nothing when the text is anything else or the size does not fit in 63
// bits; a fraction of a byte is dropped.
std::optional<int64_t> ParseByteSize(std::string_view text);

// The size for a message: "512 B", "20 MB", "1.5 GB". Exact multiples of a
// unit have no fraction; others are rounded to one decimal.
std::string FormatByteSize(int64_t bytes);

}  // namespace kestrix
