#include "links/local_naming.h"

#include "core/file_util.h"
#include "core/url_split.h"
#include "core/used_names.h"
#include "links/content_names.h"
#include "links/percent_decode.h"
#include "links/text_util.h"
#include "links/url_paths.h"

namespace kestrix {
namespace {

constexpr std::size_t kMaxNamedUrl = 200;  // longer URLs are stored under DefaultDoc
constexpr std::size_t kMaxKeptExtension = 32;

bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 32 || c == 127;
}

// Two slashes become one, except at the very start of the path.
std::string CollapseSlashes(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '/' && out.size() >= 2 && out.back() == '/') continue;
    out.push_back(path[i]);
  }
  return out;
}

std::string ProjectRoot(std::string_view downloadFolder, std::string_view projectName) {
  return AddBackslash(std::string(downloadFolder) + std::string(projectName));
}

bool IsDotSegment(std::string_view segment) {
  return segment == "." || segment == "..";
}

// Keeps the name's extension (when it is short) and its counter digits.
std::string ShortenName(const std::string& name, std::size_t counter) {
  const std::size_t dot = name.rfind('.');
  std::string ext;
  if (dot != std::string::npos && name.size() - dot <= kMaxKeptExtension) ext = name.substr(dot);
  const std::string digits = counter ? std::to_string(counter) : std::string();
  const std::size_t keep = kMaxNameComponent - ext.size() - digits.size();
  const std::size_t stemSize = ext.empty() ? name.size() : dot;
  return name.substr(0, std::min(keep, stemSize)) + digits + ext;
}

// A folder segment made safe: it cannot climb, holds no control character
// and fits the file system.
void AppendSafeSegment(std::string& out, std::string_view segment) {
  // Only an escape can turn a segment into a dot segment ("+" decodes to a
  // blank), so most segments are never decoded.
  if (IsDotSegment(segment) ||
      (segment.find('%') != std::string_view::npos && IsDotSegment(PercentDecodeName(segment)))) {
    out += '!';
    return;
  }
  if (segment.size() > kMaxNameComponent) {
    std::string safe(segment);
    for (char& c : safe) {
      if (IsControl(c)) c = '!';
    }
    out += ShortenName(safe, 0);
    return;
  }
  const std::size_t from = out.size();
  out += segment;
  for (std::size_t i = from; i < out.size(); ++i) {
    if (IsControl(out[i])) out[i] = '!';
  }
}

// Whether `path`, which starts with `root`, stays inside it: no segment
// below the root climbs.
bool IsInsideRoot(std::string_view path, std::string_view root) {
  if (!path.starts_with(root)) return false;
  std::string_view rest = path.substr(root.size());
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    if (IsDotSegment(segment)) return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return true;
}

// The extension of a name's path part (before any "?"), with its dot; empty
// when it has none or when it is not letters and digits only: it is copied
// to the end of the stored name unchanged, so it must be safe on disk.
std::string PathExtension(std::string_view name) {
  name = name.substr(0, name.find('?'));
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return {};
  const std::string_view ext = name.substr(dot);
  if (ext.size() > 12) return {};
  for (const char c : ext.substr(1)) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return {};
  }
  return std::string(ext);
}

// What a stored name becomes on disk: query mark, entity remnants, percent
// escapes and characters a file name cannot hold are all dealt with here.
// A name made from a query ("theme.css?v=2") repeats its path's extension at
// the end ("theme.css@v=2.css"), so that a browser opening the copy from disk
// still knows the file for what it is.
// A stored mask has chosen the ending already.
std::string FinalName(const std::string& raw, bool addHtm, bool masked = false) {
  const bool query = !masked && raw.find('?') != std::string::npos;
  const std::string pathExt = query ? PathExtension(raw) : std::string();
  std::string r = raw;
  for (char& c : r) {
    if (c == '?') c = '@';
  }
  r = PercentDecodeName(RemoveAmp(r));
  for (char& c : r) {
    if (std::string_view("\"#/:<>?\\|").find(c) != std::string_view::npos || IsControl(c)) {
      c = '!';
    } else if (c == ' ') {
      c = '_';
    }
  }
  std::string ext;
  if (query) {
    ext = AsciiLower(pathExt);
  } else if (const std::size_t dot = r.rfind('.'); dot != std::string::npos) {
    ext = AsciiLower(r.substr(dot));
  }
  if (addHtm && ext != ".html" && ext != ".htm" && IsExpectedPageName(raw)) {
    r += ".htm";
  } else if (query && !pathExt.empty() && !AsciiLower(r).ends_with(AsciiLower(pathExt))) {
    r += pathExt;
  }
  if (r.find_first_not_of('.') == std::string::npos) r.assign(r.size(), '!');
  return r;
}

std::string ApplyMask(const std::string& name, std::string_view mask) {
  std::string r(mask);
  const std::size_t star = r.find('*');
  r.insert(star == std::string::npos ? 0 : star, name);
  std::erase(r, '*');
  return r;
}

}  // namespace

std::string LocalDir(std::string_view url, std::string_view downloadFolder,
                     std::string_view projectName, bool replicate) {
  if (!replicate) return CollapseSlashes(ProjectRoot(downloadFolder, projectName));
  return LocalDir(ParseUrl(url), downloadFolder, projectName, replicate);
}

std::string LocalDir(const TParsedUrl& url, std::string_view downloadFolder,
                     std::string_view projectName, bool replicate) {
  const std::string root = CollapseSlashes(ProjectRoot(downloadFolder, projectName));
  if (!replicate) return root;

  const std::string_view dir = url.Dir();
  std::string below = url.Parts.Host;
  below += IsValidDirName(dir) ? dir : std::string_view("/");
  // Backslashes separated folders where saved sites were first kept; they
  // still do, so that "..\" cannot hide a climb.
  for (char& c : below) {
    if (c == '\\') c = '/';
  }
  std::string result = root;
  result.reserve(root.size() + below.size() + 1);
  std::size_t start = 0;
  while (start <= below.size()) {
    std::size_t end = below.find('/', start);
    if (end == std::string::npos) end = below.size();
    if (end > start) {
      AppendSafeSegment(result, std::string_view(below).substr(start, end - start));
      result += '/';
    }
    start = end + 1;
  }
  return IsInsideRoot(result, root) ? result : root;
}

std::string MakeLocalFileName(std::string_view url, std::string_view folder,
                              std::string_view storedMask, UsedNames& used, bool addHtm,
                              std::string_view defaultDoc) {
  return MakeLocalFileName(ParseUrl(url), folder, storedMask, used, addHtm, defaultDoc);
}

std::string MakeLocalFileName(const TParsedUrl& url, std::string_view folder,
                              std::string_view storedMask, UsedNames& used, bool addHtm,
                              std::string_view defaultDoc) {
  const std::string_view text = url.Text;
  const bool named = StartsNoCase(text, "http://") || StartsNoCase(text, "https://") ||
                     StartsNoCase(text, "ftp://");
  const std::string_view path = named ? std::string_view(url.Parts.Path) : url.Text;
  std::string base;
  if (url.Text.size() <= kMaxNamedUrl && !path.empty() && !path.ends_with('/')) {
    base = ApplyMask(std::string(url.FileName()), storedMask);
  }
  const bool masked = !storedMask.empty();
  // A name that cleans away to nothing ("amp;") would name the folder itself.
  std::string first = base.empty() ? std::string() : FinalName(base, addHtm, masked);
  if (first.empty()) {
    base = defaultDoc;
    first = FinalName(base, addHtm, masked);
  }
  if (first.empty()) {
    base = "index.html";  // a blank default document
    first = FinalName(base, addHtm, masked);
  }

  // Uniqueness is judged on the name as written to disk, so that two URLs
  // differing only in characters the clean-up changes never share a file.
  const std::string prefix(folder);
  std::string hintKey = prefix;
  hintKey.append(1, '\0').append(base).append(addHtm ? "\1" : "\0", 1);
  std::string name;
  std::size_t counter = used.CounterHint(hintKey);
  for (;; ++counter) {
    name = counter ? FinalName(NameWithCounter(base, counter), addHtm, masked) : first;
    if (name.size() > kMaxNameComponent) name = ShortenName(first, counter);
    if (!used.Contains(prefix + name)) break;
  }
  if (counter > 0) used.SetCounterHint(hintKey, counter);
  used.Add(prefix + name);
  return name;
}

std::string NameWithCounter(std::string_view name, std::size_t counter) {
  const std::size_t dot = name.find('.');
  std::string out(name);
  out.insert(dot == std::string::npos ? 0 : dot, std::to_string(counter));
  return out;
}

std::string RelativeLocalPath(std::string_view pageLocalFolder, std::string_view targetFolder,
                              std::string_view fileName) {
  // Up from the page's folder only to the deepest folder both share: a
  // copy whose host folder is renamed or moved keeps working.
  std::size_t common = 0;
  const std::size_t shorter = std::min(pageLocalFolder.size(), targetFolder.size());
  for (std::size_t i = 0; i < shorter && pageLocalFolder[i] == targetFolder[i]; ++i) {
    if (pageLocalFolder[i] == '/') common = i + 1;
  }
  std::string result;
  for (const char c : pageLocalFolder.substr(common)) {
    if (c == '/') result += "../";
  }
  result.append(targetFolder.substr(common)).append(fileName);
  return result;
}

bool IsInsideProject(std::string_view path, std::string_view downloadFolder,
                     std::string_view projectName) {
  return IsInsideRoot(path, CollapseSlashes(ProjectRoot(downloadFolder, projectName)));
}

}  // namespace kestrix
