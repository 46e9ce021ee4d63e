// Small files read and written whole: settings, cookie jars, cached
// robots.txt rules. A replace never leaves a half-written file behind: the
// text goes to a temporary file beside the target, is flushed to disk and
// renamed over the old file, so a crash or a full disk keeps the old
// contents.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// Replaces the contents of `path` by `text` in one atomic step, creating
// the file's folder and its parents when they are missing. With `ownerOnly`
// the new file is readable by its owner only whatever the old one allowed
// (for files that hold a password or a session); otherwise an existing file
// keeps its permissions and a new one is made owner-only. When `path` is a
// symbolic link the file it names is replaced and the link kept. False when
// anything failed; the old file is then untouched.
bool ReplaceFileAtomically(const std::string& path, std::string_view text, bool ownerOnly);

// The first `limit` bytes of the file at most. Nothing when it cannot be
// opened or read; `missing` (when given) tells a file that does not exist
// from one that cannot be read.
std::optional<std::string> ReadFileUpTo(const std::string& path, size_t limit,
                                        bool* missing = nullptr);

}  // namespace kestrix
