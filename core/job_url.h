// A job's starting URL in the forms the program keeps and fetches. The job
// property dialog, the command line, the download control and the
// exploration test all take a typed URL through here, so that one URL gives
// one job and one queue entry whichever front end it came from.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The stored form: the protocol ("http" when missing), the host with its
// port, then the path or "/"; a user name and password are left out. Empty
// when the URL names no host.
std::string NormaliseJobUrl(std::string_view url);

// The URL a job starts from, and what a preview of it shows: the stored
// form, built even without a host, with every blank as "%20".
std::string StartingUrl(std::string_view jobUrl);

// `url` with every blank as "%20".
std::string BlanksEscaped(std::string_view url);

}  // namespace kestrix
