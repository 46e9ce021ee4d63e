// Cookie jars on disk, in the cookies.txt format that browsers' export
// tools and other copiers read and write: one cookie a line, seven fields
// separated by TABs (domain, subdomains TRUE/FALSE, path, secure TRUE/FALSE,
// expiry in seconds since 1970 with 0 for a session cookie, name, value),
// an HttpOnly cookie's domain prefixed by "#HttpOnly_", other lines starting
// with "#" being comments. The same reader and writer serve the project's own
// jar and the files a user imports or exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/cookie_jar.h"

namespace kestrix {

// The project's jar, beside its history file.
std::string CookieJarPath(const std::string& downloadFolder, const std::string& project);

// The live cookies of the jar as a cookies file. Session cookies are
// written with expiry 0 unless `withSession` is clear.
std::string EncodeCookieFile(const TCookieJar& jar, int64_t now, bool withSession = true);

struct TCookieFileLoad {
  bool Read = false;  // the file could be read (a missing file reads as empty)
  bool Missing = false;
  size_t Stored = 0;   // cookies taken into the jar
  size_t Skipped = 0;  // lines that were no cookie, expired or refused by the jar
};

// Adds the cookies of a cookies file's text to the jar, each checked as the
// jar checks any cookie.
TCookieFileLoad DecodeCookieFile(std::string_view text, TCookieJar& jar, int64_t now);

// Reads a cookies file into the jar. Files over 16 MiB are read no further:
// a jar at its bounds takes far less.
TCookieFileLoad LoadCookieFile(const std::string& path, TCookieJar& jar, int64_t now);

// Writes the jar in one atomic replace, readable by its owner only: the file
// holds sessions and logins. False when it could not be written; the old
// file then stays as it was.
bool SaveCookieFile(const std::string& path, const TCookieJar& jar, int64_t now,
                    bool withSession = true);

}  // namespace kestrix
