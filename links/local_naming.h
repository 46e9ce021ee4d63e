// Where a downloaded document is stored: its local folder below the download
// folder and a file name unique among those already given out. Whatever the
// URL holds, the result never lies outside DownLoadFolder + project + "/".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/parsed_url.h"

namespace kestrix {

class UsedNames;

// The longest file name component written; longer ones are shortened,
// keeping their extension.
inline constexpr std::size_t kMaxNameComponent = 255;

// The local folder, ending in "/": DownLoadFolder + project + "/", followed by
// the host and the URL's directory when `replicate` is set. Segments that
// could climb out ("." and "..", also percent-encoded) are replaced by "!".
std::string LocalDir(std::string_view url, std::string_view downloadFolder,
                     std::string_view projectName, bool replicate);
std::string LocalDir(const TParsedUrl& url, std::string_view downloadFolder,
                     std::string_view projectName, bool replicate);

// A file name for `url` in `folder`, unique in `used` (compared on the final
// name without regard to ASCII case) and added to it. `storedMask` wraps the
// name ("*.html"); `defaultDoc` names documents whose URL ends in "/". With
// `addHtm`, ".htm" is added when the name is expected to be a page
// (IsExpectedPageName); the reply may later say otherwise (NameForContent).
std::string MakeLocalFileName(std::string_view url, std::string_view folder,
                              std::string_view storedMask, UsedNames& used, bool addHtm,
                              std::string_view defaultDoc);
std::string MakeLocalFileName(const TParsedUrl& url, std::string_view folder,
                              std::string_view storedMask, UsedNames& used, bool addHtm,
                              std::string_view defaultDoc);

// `name` with the decimal `counter` put before its first ".", or in front
// of it when it has none: how a name already given out is made unique.
std::string NameWithCounter(std::string_view name, std::size_t counter);

// The shortest path from a page's folder to a target file, with "../" steps
// and "/" separators, as written into the saved page: it climbs no higher
// than the deepest folder the two share.
std::string RelativeLocalPath(std::string_view pageLocalFolder, std::string_view targetFolder,
                              std::string_view fileName);

// True when `path` lies inside DownLoadFolder + project + "/" and climbs out
// through no "." or ".." component.
bool IsInsideProject(std::string_view path, std::string_view downloadFolder,
                     std::string_view projectName);

}  // namespace kestrix
