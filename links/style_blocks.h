// Where a page holds style sheet text of its own: the bodies of its <style>
// elements and the values of its style attributes. Fonts and background
// images named there are parts of the page like those of a linked sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

struct TStyleRegion {
  int32_t StartLine = 0;
  size_t StartPos = 0;  // first byte of the style text
  int32_t EndLine = 0;
  size_t EndPos = 0;  // one past its last byte
  bool Attribute = false;
};

// The style regions of a page, in reading order. Comments and script bodies
// are skipped; an unterminated region ends with the page.
std::vector<TStyleRegion> FindStyleRegions(const std::vector<std::string>& lines);

}  // namespace kestrix
