#include "core/dot_segments.h"

#include <algorithm>

#include "core/ascii.h"

namespace kestrix {
namespace {

enum class TDots { None, One, Two };

// "." or "%2e" once or twice, nothing else.
TDots DotsOf(std::string_view segment) {
  int dots = 0;
  while (!segment.empty()) {
    if (segment.front() == '.') {
      segment.remove_prefix(1);
    } else if (segment.size() >= 3 && StartsNoCase(segment, "%2e")) {
      segment.remove_prefix(3);
    } else {
      return TDots::None;
    }
    if (++dots > 2) return TDots::None;
  }
  return dots == 1 ? TDots::One : dots == 2 ? TDots::Two : TDots::None;
}

// A dot segment starts the path or follows a "/"; most paths hold dots
// only in their file names and are copied as they are.
bool MayHoldDots(std::string_view path) {
  return path.starts_with('.') || path.starts_with('%') ||
         path.find("/.") != std::string_view::npos || path.find("/%") != std::string_view::npos;
}

}  // namespace

std::string RemoveDotSegments(std::string_view path) {
  if (!MayHoldDots(path)) return std::string(path);
  std::string out;
  out.reserve(path.size());
  std::string_view in = path;
  while (!in.empty()) {
    const bool rooted = in.front() == '/';
    const std::size_t from = rooted ? 1 : 0;
    const std::size_t slash = in.find('/', from);
    const std::size_t end = slash == std::string_view::npos ? in.size() : slash;
    const bool maybe = from < end && (in[from] == '.' || in[from] == '%');
    const TDots dots = maybe ? DotsOf(in.substr(from, end - from)) : TDots::None;
    if (dots == TDots::None) {
      out.append(in.substr(0, end));
      in.remove_prefix(end);
      continue;
    }
    if (dots == TDots::Two && rooted) {
      const std::size_t last = out.rfind('/');
      out.erase(last == std::string::npos ? 0 : last);
    }
    if (slash != std::string_view::npos) {
      // "./" or "../" at the start goes with its slash; "/./" and "/../"
      // leave theirs for what follows.
      in.remove_prefix(rooted ? end : end + 1);
    } else {
      // A final "/." or "/.." still names a folder.
      in = rooted ? std::string_view("/") : std::string_view();
    }
  }
  return out;
}

std::string WithoutDotSegments(std::string_view url) {
  std::size_t start = 0;
  const std::size_t sep = url.find("://");
  // A "://" inside a query or path is no scheme's.
  if (sep != std::string_view::npos &&
      url.substr(0, sep).find_first_of("/?#") == std::string_view::npos) {
    start = url.find_first_of("/?#", sep + 3);
    if (start == std::string_view::npos || url[start] != '/') return std::string(url);
  }
  const std::size_t end = std::min(url.find_first_of("?#", start), url.size());
  const std::string_view path = url.substr(start, end - start);
  if (!MayHoldDots(path)) return std::string(url);
  std::string out(url.substr(0, start));
  out += RemoveDotSegments(path);
  out += url.substr(end);
  return out;
}

}  // namespace kestrix
