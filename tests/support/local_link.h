// The local links of a saved page, and what a browser opening it makes of
// each.
#pragma once

#include <string>
#include <vector>

namespace kestrix::test {

// The file a local link leads to, relative to the page's folder: the
// fragment cut off and percent escapes standing for the bytes on disk.
std::string LinkToPath(const std::string& link);

// The local links of a saved page or style sheet (href, src, srcset
// candidates, url(...)): neither fragments alone nor URLs with a scheme.
std::vector<std::string> LocalLinks(const std::string& text);

}  // namespace kestrix::test
