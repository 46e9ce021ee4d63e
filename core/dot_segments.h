// Dot segments in URL paths. "." and ".." name folders relative to where
// they stand; a request that keeps them asks the server for "dir/.." and
// gets the parent page (or a refusal) under a name one level off, so every
// URL the program builds has them taken out first.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The path with its "." and ".." segments applied, as URL resolution does
// it: a final "." or ".." keeps the folder's "/", and ".." never climbs
// above the root ("/../g" gives "/g"). "%2e" counts as a dot, as browsers
// read it. A relative path loses leading "./" and "../" steps.
std::string RemoveDotSegments(std::string_view path);

// `url` with the dot segments of its path removed; the scheme, authority,
// query and fragment stay as written. Text without "://" is taken for a
// path with an optional query.
std::string WithoutDotSegments(std::string_view url);

}  // namespace kestrix
