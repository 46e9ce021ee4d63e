#include "links/inert_script.h"

#include <array>
#include <string>

namespace kestrix {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$';
}

// Drops blanks except a single one between two word characters, so that
// "void ( 0 )" reads "void(0)" and "void 0" stays "void 0".
std::string Compact(std::string_view statement) {
  std::string out;
  bool pendingBlank = false;
  for (const char c : statement) {
    if (IsBlank(c)) {
      pendingBlank = true;
      continue;
    }
    if (pendingBlank && !out.empty() && IsWordChar(out.back()) && IsWordChar(c)) out += ' ';
    pendingBlank = false;
    out += c;
  }
  return out;
}

// Statements known to go nowhere: a history step never reaches a page this
// page links to, and the hidden page has no history of its own to step to.
constexpr std::array<std::string_view, 14> kInert = {
    "void(0)",
    "void 0",
    "void(null)",
    "void(undefined)",
    "undefined",
    "null",
    "0",
    "false",
    "history.back()",
    "history.forward()",
    "history.go(-1)",
    "window.history.back()",
    "window.history.forward()",
    "window.history.go(-1)",
};

}  // namespace

bool IsInertScript(std::string_view code) {
  size_t start = 0;
  while (start <= code.size()) {
    size_t end = code.find(';', start);
    if (end == std::string_view::npos) end = code.size();
    const std::string statement = Compact(code.substr(start, end - start));
    if (!statement.empty()) {
      bool known = false;
      for (const std::string_view inert : kInert) known = known || statement == inert;
      if (!known) return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace kestrix
