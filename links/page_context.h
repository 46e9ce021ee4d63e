// What link analysis knows about the page it is working on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/parsed_url.h"

namespace kestrix {

struct TRetriveRec;

// One replacement in the saved page, placed in the lines as they were read.
// Edits are gathered while the page is analysed and applied together at the
// end, so that every position found refers to the page as parsed.
struct TLineEdit {
  int32_t Line = 0;
  std::size_t Pos = 0;
  std::size_t Length = 0;
  std::string Text;
};

struct TPageContext {
  const TRetriveRec& Page;          // the entry whose file was just saved
  int32_t PageIndex = -1;           // its queue index
  std::vector<std::string>& Lines;  // the saved page, edited in place
  std::string PageProto;            // protocol of the page's URL
  std::string PageHost;             // host, with ":" and the port when the URL names one
  std::string PageDir;              // directory of the page's path, ending in "/"
  std::string StartDir;             // the page's StartUrl up to its last "/"
  std::string StartDirLower;        // StartDir lower-cased, for the "this path" test
  TParsedUrl Start;                 // the page's StartUrl: the server it is on
  TParsedUrl StartFolder;           // StartDir taken apart, for the "this path" test
  std::string PageFile;             // last segment of the page's path, what "?q" links name
  std::vector<TLineEdit> Edits;     // made by ApplyEdits
};

// The context of `page` before any BASE tag changes it.
TPageContext MakePageContext(const TRetriveRec& page, int32_t pageIndex,
                             std::vector<std::string>& lines);

}  // namespace kestrix
