#include "core/project_name.h"

#include <array>
#include <string_view>

#include "core/ascii.h"

namespace kestrix {

namespace {

// Sections the program keeps for itself; a project of that name would have
// its jobs written over them.
constexpr std::array<std::string_view, 3> kReservedSections = {"Options", "Projects", "MainWnd"};

const char* Problem(const std::string& name) {
  if (name.find_first_not_of(" \t") == std::string::npos) return "the name is empty";
  if (name == "." || name == "..") return "the name is a folder reference";
  if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t') {
    return "the name begins or ends with a blank";
  }
  if (name.front() == ';' || name.front() == '[') return "the name begins with \";\" or \"[\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "the name holds a control character or a line break";
    if (c == '/' || c == '\\') return "the name holds \"/\" or \"\\\"";
    if (c == ']' || c == '=') return "the name holds \"]\" or \"=\"";
    // The first field of every stored job; the fields are not escaped.
    if (c == '`') return "the name holds the grave accent \"`\"";
  }
  for (const std::string_view reserved : kReservedSections) {
    if (SameProjectName(name, std::string(reserved))) return "the name is kept for the program";
  }
  return nullptr;
}

}  // namespace

std::string ProjectNameError(const std::string& name) {
  const char* problem = Problem(name);
  if (problem == nullptr) return {};
  return "Project name \"" + name + "\" cannot be used: " + problem + ".";
}

bool SameProjectName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
  }
  return true;
}

}  // namespace kestrix
