#include "ui/entry_checks.h"

#include "core/project_name.h"

namespace kestrix {

std::string Trimmed(const std::string& text) {
  const char* const blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string ProjectNameProblem(const std::string& name) {
  if (std::string error = ProjectNameError(name); !error.empty()) return error;
  if (name.find('`') != std::string::npos) {
    return "Project name \"" + name + "\" cannot be used: the name holds \"`\".";
  }
  return {};
}

std::string JobUrlProblem(const std::string& url) {
  const std::string shown = "The URL \"" + url + "\" cannot be used: ";
  if (Trimmed(url).empty()) return "The URL is empty.";
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '`') return shown + "it holds \"`\".";
    if (byte < 0x20 || byte == 0x7F) return shown + "it holds a control character or a line break.";
  }
  return {};
}

}  // namespace kestrix
