// A saved page as the lines link analysis works on, and back. The bytes are
// kept as they are; only the line breaks are taken off and put back the way
// the page had them, so an unchanged page is saved unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

struct TPageLines {
  std::vector<std::string> Lines;
  std::string Break = "\n";  // "\r\n" when the page's first line break was one
  bool FinalBreak = false;   // the page ended with a line break
  int64_t LoadedSize = -1;   // bytes in the file when it was loaded; -1 unknown
};

// False when the file cannot be read. The file is read a piece at a time:
// only the lines stay in memory.
bool LoadPageLines(const std::string& path, TPageLines& page);
// Writes the page back over the saved copy, in place, a piece at a time, so
// that the page is never held twice. (A temporary file renamed over it would
// double the files created per page, which costs a site of thousands of
// pages dearly.) False on failure.
bool SavePageLines(const std::string& path, const TPageLines& page);
// Replaces a page saved earlier in one step (a temporary file beside it,
// renamed over it), keeping its permissions: an edit made after the run
// never leaves half a page behind. False on failure, the old page kept.
bool ReplacePageLines(const std::string& path, const TPageLines& page);

}  // namespace kestrix
