#include "engine/cookie_file.h"

#include <charconv>
#include <limits>
#include <optional>
#include <vector>

#include "core/whole_file.h"

namespace kestrix {
namespace {

constexpr size_t kMaxFileBytes = 16 << 20;
constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

std::optional<bool> ParseFlag(std::string_view field) {
  if (field == "TRUE") return true;
  if (field == "FALSE") return false;
  return std::nullopt;
}

// Expiry seconds; a value past what the jar can hold means "for ever".
std::optional<int64_t> ParseExpiry(std::string_view field) {
  if (field.empty() || field.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error == std::errc::result_out_of_range) return std::numeric_limits<int64_t>::max();
  return error == std::errc() ? std::optional<int64_t>(value) : std::nullopt;
}

// A cookie from one line, or nothing for comments, blank lines and lines of
// another shape. A line without its value field is a cookie with an empty
// value, as some writers leave it.
std::optional<TCookie> ParseLine(std::string_view line) {
  TCookie cookie;
  if (line.starts_with(kHttpOnlyPrefix)) {
    cookie.HttpOnly = true;
    line.remove_prefix(kHttpOnlyPrefix.size());
  } else if (line.empty() || line.front() == '#') {
    return std::nullopt;
  }
  const std::vector<std::string_view> fields = SplitTabs(line);
  if (fields.size() != 6 && fields.size() != 7) return std::nullopt;
  const std::optional<bool> subdomains = ParseFlag(fields[1]);
  const std::optional<bool> secure = ParseFlag(fields[3]);
  const std::optional<int64_t> expiry = ParseExpiry(fields[4]);
  if (!subdomains || !secure || !expiry) return std::nullopt;
  cookie.Domain = fields[0];
  cookie.HostOnly = !*subdomains;
  cookie.Path = fields[2];
  cookie.Secure = *secure;
  cookie.Session = *expiry == 0;
  cookie.Expires = *expiry;
  cookie.Name = fields[5];
  if (fields.size() == 7) cookie.Value = fields[6];
  return cookie;
}

}  // namespace

std::string CookieJarPath(const std::string& downloadFolder, const std::string& project) {
  return downloadFolder + project + "/" + project + ".cookies";
}

std::string EncodeCookieFile(const TCookieJar& jar, int64_t now, bool withSession) {
  std::string text =
      "# HTTP Cookie File\n"
      "# Cookies of a Kestrix project. Every value here can open a session: keep it private.\n\n";
  for (const TCookie& c : jar.Cookies(now)) {
    if (c.Session && !withSession) continue;
    if (c.HttpOnly) text += kHttpOnlyPrefix;
    text += c.HostOnly ? c.Domain : "." + c.Domain;
    text += c.HostOnly ? "\tFALSE\t" : "\tTRUE\t";
    text += c.Path;
    text += c.Secure ? "\tTRUE\t" : "\tFALSE\t";
    text += std::to_string(c.Session ? 0 : c.Expires);
    text += "\t" + c.Name + "\t" + c.Value + "\n";
  }
  return text;
}

TCookieFileLoad DecodeCookieFile(std::string_view text, TCookieJar& jar, int64_t now) {
  TCookieFileLoad load;
  load.Read = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || (line.front() == '#' && !line.starts_with(kHttpOnlyPrefix))) continue;
    const std::optional<TCookie> cookie = ParseLine(line);
    if (cookie && jar.Import(*cookie, now) == TCookieVerdict::Stored) {
      ++load.Stored;
    } else {
      ++load.Skipped;
    }
  }
  return load;
}

TCookieFileLoad LoadCookieFile(const std::string& path, TCookieJar& jar, int64_t now) {
  bool missing = false;
  const std::optional<std::string> text = ReadFileUpTo(path, kMaxFileBytes, &missing);
  if (!text) {
    TCookieFileLoad load;
    load.Read = missing;
    load.Missing = missing;
    return load;
  }
  std::string_view whole = *text;
  // A file cut at the bound ends inside a line, whose value would be cut too.
  if (whole.size() == kMaxFileBytes) whole = whole.substr(0, whole.rfind('\n') + 1);
  return DecodeCookieFile(whole, jar, now);
}

bool SaveCookieFile(const std::string& path, const TCookieJar& jar, int64_t now, bool withSession) {
  return ReplaceFileAtomically(path, EncodeCookieFile(jar, now, withSession), true);
}

}  // namespace kestrix
