#include "core/ini_document.h"

#include <charconv>

#include "core/ascii.h"

namespace kestrix {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
  }
  return true;
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

bool IsIgnoredLine(std::string_view line) {
  line = Trim(line);
  return line.empty() || line.front() == ';';
}

// The key of a key=value line, or nullopt for a line that holds none.
std::optional<std::string_view> LineKey(std::string_view line) {
  if (IsIgnoredLine(line)) return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

IniEntry SplitLine(std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {std::string(Trim(line)), {}};
  return {std::string(Trim(line.substr(0, eq))), std::string(line.substr(eq + 1))};
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// The first section of that name, for const and non-const documents alike.
template <typename Sections>
auto FindIn(Sections& sections, std::string_view name) -> decltype(&sections.front()) {
  name = Trim(name);
  for (auto& section : sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

}  // namespace

std::optional<int> ParseDecimalInt(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  // A byte order mark left by an editor would hide the first header.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string>* target = &doc.preamble_;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (const auto name = HeaderName(line)) {
      doc.sections_.push_back({std::string(*name), {}});
      target = &doc.sections_.back().lines;
    } else {
      target->emplace_back(line);
    }
  }
  return doc;
}

std::string IniDocument::ToText() const {
  std::string text;
  for (const std::string& line : preamble_) text.append(line).push_back('\n');
  for (const Section& section : sections_) {
    text.append("[").append(section.name).append("]\n");
    for (const std::string& line : section.lines) text.append(line).push_back('\n');
  }
  return text;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindIn(sections_, section) != nullptr;
}

std::vector<IniEntry> IniDocument::ReadSection(std::string_view section) const {
  std::vector<IniEntry> entries;
  if (const Section* found = FindIn(sections_, section)) {
    for (const std::string& line : found->lines) {
      if (!IsIgnoredLine(line)) entries.push_back(SplitLine(line));
    }
  }
  return entries;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
  const Section* found = FindIn(sections_, section);
  if (found == nullptr) return std::nullopt;
  key = Trim(key);
  for (const std::string& line : found->lines) {
    const auto lineKey = LineKey(line);
    if (lineKey && SameName(*lineKey, key)) return line.substr(line.find('=') + 1);
  }
  return std::nullopt;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    const std::string& defaultValue) const {
  return Find(section, key).value_or(defaultValue);
}

int IniDocument::ReadInteger(std::string_view section, std::string_view key,
                             int defaultValue) const {
  const auto text = Find(section, key);
  if (!text) return defaultValue;
  return ParseDecimalInt(*text).value_or(defaultValue);
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';') {
    return false;
  }
  std::string line = std::string(key) + "=" + std::string(value);
  Section* found = FindIn(sections_, section);
  if (found == nullptr) {
    // Keep a blank line between sections so the file stays readable.
    std::vector<std::string>& last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!last.empty() && !Trim(last.back()).empty()) last.emplace_back();
    sections_.push_back({std::string(section), {std::move(line)}});
    return true;
  }
  std::vector<std::string>& lines = found->lines;
  size_t lastContent = 0;  // index after the last non-blank line
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Trim(lines[i]).empty()) continue;
    lastContent = i + 1;
    const auto lineKey = LineKey(lines[i]);
    if (lineKey && SameName(*lineKey, key)) {
      lines[i] = std::move(line);
      return true;
    }
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent), std::move(line));
  return true;
}

bool IniDocument::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

void IniDocument::EraseSection(std::string_view section) {
  section = Trim(section);
  std::erase_if(sections_, [section](const Section& s) { return SameName(s.name, section); });
}

}  // namespace kestrix
