// What a worker reads from the header lines the client collected. The client
// keeps the lines of every reply of a relocation chain, so each question is
// asked of the reply that arrived last.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Index of the status line of the last reply (0 when there is none).
std::size_t LastReplyStart(const std::vector<std::string>& header);

// Where the last reply relocates to: its "Location:" value when absolute
// (http:// or ftp://), else that value resolved against `fromUrl`, the URL
// being left, whose port it keeps. Without a Location line,
// `clientLocation`, the client's own absolute form.
std::string RelocationTarget(const std::vector<std::string>& header,
                             const std::string& clientLocation, const std::string& fromUrl);

// The last reply's Last-Modified date (0 when it cannot be read), or nullopt
// when the reply has no such line.
std::optional<double> LastModifiedOf(const std::vector<std::string>& header);

// The trimmed value of the last reply's first line named `name` (any case);
// empty when there is none.
std::string HeaderValue(const std::vector<std::string>& header, std::string_view name);

// Whether a reply of this content type is a page to analyse.
bool IsHtmlType(const std::string& contentType);

}  // namespace kestrix
