// A saved page as the lines link analysis works on, and back. The bytes are
// kept as they are; only the line breaks are taken off and put back the way
// the page had them, so an unchanged page is saved unchanged.
#pragma once

#include <string>
#include <vector>

namespace kestrix {

struct TPageLines {
  std::vector<std::string> Lines;
  std::string Break = "\n";  // "\r\n" when the page's first line break was one
  bool FinalBreak = false;   // the page ended with a line break
};

// False when the file cannot be read.
bool LoadPageLines(const std::string& path, TPageLines& page);
// Writes the page whole to a temporary file and renames it over `path`, so
// that a failed write leaves the saved copy as it was. False on failure.
bool SavePageLines(const std::string& path, const TPageLines& page);

}  // namespace kestrix
