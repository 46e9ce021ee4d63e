// Conversion of saved pages from KOI8-R to Windows-1251, byte for byte, so
// that the file keeps its size.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace kestrix {

// Windows-1251 byte for each KOI8-R byte from 128 to 255 (index = byte - 128).
extern const std::array<unsigned char, 128> kKoi8ToCp1251;

// Converts `size` bytes at `data` in place; bytes below 128 stay as they are.
void DecodeKoi8(char* data, std::size_t size);

// Converts the file in place. False when it cannot be opened, read or written.
bool DecodeKoi8File(const std::string& path);

}  // namespace kestrix
