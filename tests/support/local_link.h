// What a browser opening a saved page makes of one of its local links.
#pragma once

#include <string>

namespace kestrix::test {

// The file a local link leads to, relative to the page's folder: the
// fragment cut off and percent escapes standing for the bytes on disk.
std::string LinkToPath(const std::string& link);

}  // namespace kestrix::test
