#include "links/content_names.h"

#include <utility>

#include "core/ascii.h"
#include "core/parsed_url.h"
#include "core/used_names.h"
#include "links/local_naming.h"
#include "links/text_util.h"

namespace kestrix {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAlnum(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// The lower-cased extension of a name, without its dot: letters and digits
// with at least one letter, at most 12 of them; empty otherwise.
std::string ExtensionOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  const std::string_view ext = name.substr(dot + 1);
  if (ext.empty() || ext.size() > 12) return {};
  bool letter = false;
  for (const char c : ext) {
    if (!IsAlnum(c)) return {};
    letter = letter || IsAsciiLetter(c);
  }
  return letter ? AsciiLower(ext) : std::string();
}

template <std::size_t N>
bool Listed(const std::string_view (&list)[N], std::string_view ext) {
  for (const std::string_view item : list) {
    if (item == ext) return true;
  }
  return false;
}

// Pages, and the extensions of programs that write pages.
constexpr std::string_view kPageExtensions[] = {
    "htm", "html", "xhtml", "shtml", "shtm", "php", "php3", "php4", "php5",  "phtml",
    "asp", "aspx", "jsp",   "jspx",  "cgi",  "pl",  "cfm",  "do",   "action"};

// Kinds of files well known not to be pages, even behind a query.
constexpr std::string_view kFileExtensions[] = {
    "7z",   "atom", "avi",  "bmp",   "bz2",  "css",  "csv", "doc",  "docx", "eot", "epub", "exe",
    "flac", "gif",  "gz",   "ico",   "jpeg", "jpg",  "js",  "json", "m4a",  "map", "mjs",  "mov",
    "mp3",  "mp4",  "mpeg", "mpg",   "odt",  "ogg",  "otf", "pdf",  "png",  "ppt", "pptx", "ps",
    "rar",  "rss",  "rtf",  "svg",   "tar",  "tgz",  "tif", "tiff", "ttf",  "txt", "wasm", "wav",
    "webm", "webp", "woff", "woff2", "xls",  "xlsx", "xml", "xz",   "zip"};

constexpr std::pair<std::string_view, std::string_view> kTypeExtensions[] = {
    {"image/png", ".png"},
    {"image/jpeg", ".jpg"},
    {"image/pjpeg", ".jpg"},
    {"image/gif", ".gif"},
    {"image/svg+xml", ".svg"},
    {"image/webp", ".webp"},
    {"image/avif", ".avif"},
    {"image/bmp", ".bmp"},
    {"image/x-icon", ".ico"},
    {"image/vnd.microsoft.icon", ".ico"},
    {"text/css", ".css"},
    {"application/javascript", ".js"},
    {"application/x-javascript", ".js"},
    {"text/javascript", ".js"},
    {"application/json", ".json"},
    {"application/pdf", ".pdf"},
    {"application/xml", ".xml"},
    {"text/xml", ".xml"},
    {"application/rss+xml", ".rss"},
    {"application/atom+xml", ".atom"},
    {"text/plain", ".txt"},
    {"text/csv", ".csv"},
    {"text/vtt", ".vtt"},
    {"font/woff", ".woff"},
    {"font/woff2", ".woff2"},
    {"application/font-woff", ".woff"},
    {"font/ttf", ".ttf"},
    {"font/otf", ".otf"},
    {"application/zip", ".zip"},
    {"application/gzip", ".gz"},
    {"application/x-tar", ".tar"},
    {"application/wasm", ".wasm"},
    {"application/epub+zip", ".epub"},
    {"audio/mpeg", ".mp3"},
    {"audio/ogg", ".ogg"},
    {"video/mp4", ".mp4"},
    {"video/webm", ".webm"},
    {"application/postscript", ".ps"},
};

// "Text/HTML; charset=utf-8" gives "text/html".
std::string MediaType(std::string_view contentType) {
  return AsciiLower(TrimControls(contentType.substr(0, contentType.find(';'))));
}

bool EndsInHtm(std::string_view name) {
  const std::string lower = AsciiLower(name.substr(name.size() < 5 ? 0 : name.size() - 5));
  return lower.ends_with(".htm") || lower.ends_with(".html");
}

}  // namespace

bool IsExpectedPageName(std::string_view name) {
  const std::size_t query = name.find('?');
  const std::string ext = ExtensionOf(name.substr(0, query));
  if (ext.empty() || Listed(kPageExtensions, ext)) return true;
  return query != std::string_view::npos && !Listed(kFileExtensions, ext);
}

bool IsHtmlContentType(std::string_view contentType) {
  const std::string type = MediaType(contentType);
  return type == "text/html" || type == "application/xhtml+xml";
}

std::string_view ExtensionOfType(std::string_view contentType) {
  const std::string type = MediaType(contentType);
  for (const auto& [known, ext] : kTypeExtensions) {
    if (known == type) return ext;
  }
  return {};
}

std::string NameForContent(std::string_view url, std::string_view queuedName,
                           std::string_view contentType, bool adjust) {
  std::string name(queuedName);
  if (!adjust || name.empty() || MediaType(contentType).empty()) return name;
  if (IsHtmlContentType(contentType)) return EndsInHtm(name) ? name : name + ".htm";
  // The ".htm" a name got for looking like a page, not the one its URL has.
  const TParsedUrl parsed = ParseUrl(url);
  if (AsciiLower(name).ends_with(".htm") && !EndsInHtm(parsed.Path())) name.resize(name.size() - 4);
  const std::string_view typeExt = ExtensionOfType(contentType);
  const std::string ext = ExtensionOf(name);
  // A program's extension (".php") says nothing of what it sent.
  const bool untyped = ext.empty() || (Listed(kPageExtensions, ext) && !EndsInHtm(name));
  if (!typeExt.empty() && untyped) name += typeExt;
  return name;
}

std::string RenameForContent(std::string_view url, std::string_view folder,
                             std::string_view queuedName, std::string_view contentType, bool adjust,
                             UsedNames& used) {
  const std::string wanted = NameForContent(url, queuedName, contentType, adjust);
  if (wanted == queuedName || wanted.size() > kMaxNameComponent) return std::string(queuedName);
  const std::string prefix(folder);
  std::string name = wanted;
  for (std::size_t counter = 1; used.Contains(prefix + name); ++counter) {
    name = NameWithCounter(wanted, counter);
  }
  used.Add(prefix + name);
  return name;
}

}  // namespace kestrix
