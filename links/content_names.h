// Whether a document is a page: guessed from its name when it is queued,
// and known from the reply's Content-Type once its header arrives. ".htm"
// belongs on pages only; a script, a download or an image saved as
// "x.py.htm" opens offline as a page, and a file with no extension at all
// means nothing to the browser that opens it from disk.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

class UsedNames;

// Whether the file name of a URL (its last segment, query included) is
// expected to name a page: it has no extension, a page or dynamic-page
// extension (html, php, asp, aspx, jsp, cgi, pl, cfm, shtml ...), or a
// query behind an extension that names no well-known kind of file. Any
// other extension (".py", ".zip", ".css?v=2") names something else. An
// "extension" of digits only ("3.12") is a version, not an extension.
bool IsExpectedPageName(std::string_view name);

// Whether a Content-Type says HTML: text/html or application/xhtml+xml.
bool IsHtmlContentType(std::string_view contentType);

// The usual extension of a Content-Type (".png" for image/png), empty for
// HTML, application/octet-stream and types not known here.
std::string_view ExtensionOfType(std::string_view contentType);

// The name a file queued as `queuedName` for `url` should have once the
// reply says `contentType`, when the job adjusts names (`adjust`: offline
// browsing with "Add .htm extension"). HTML gets ".htm" unless the name
// ends in ".htm" or ".html"; any other type loses the ".htm" the name got
// at queue time, and a name without an extension (or with a dynamic-page
// one) gets the type's usual extension. Without `adjust`, or when the
// reply names no type, the queued name stands.
std::string NameForContent(std::string_view url, std::string_view queuedName,
                           std::string_view contentType, bool adjust);

// NameForContent made unique in `folder` through `used` (a counter as
// everywhere else) and added to it; `queuedName` itself when it stands.
// The queued name stays taken: the file may already lie under it.
std::string RenameForContent(std::string_view url, std::string_view folder,
                             std::string_view queuedName, std::string_view contentType, bool adjust,
                             UsedNames& used);

}  // namespace kestrix
