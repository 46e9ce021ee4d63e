// Tables of cases kept as data under tests/fixtures. A line beginning
// with "#" is a comment. In values, \n, \t, \xHH and \\ stand for a line
// break, a tab, the byte HH and "\".
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace kestrix::test {

// `file` is a path below tests/fixtures.
inline std::ifstream OpenCases(const std::string& file) {
  return std::ifstream(std::string(KESTRIX_SOURCE_DIR) + "/tests/fixtures/" + file);
}

// `text` with every `from` in it replaced by `to`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The parts of `text` between the occurrences of `by`.
inline std::vector<std::string> Split(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  for (size_t from = 0, at = 0; at != std::string::npos; from = at + by.size()) {
    at = text.find(by, from);
    parts.push_back(text.substr(from, at - from));
  }
  return parts;
}

// A case of a table: a record begun by a line
// "=== name" and made of "key: value" lines, in order.
struct CaseRecord {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Fields;

  std::string Get(const std::string& key, const std::string& otherwise = "") const {
    const std::vector<std::string> values = All(key);
    return values.empty() ? otherwise : values[0];
  }
  std::vector<std::string> All(const std::string& key) const {
    std::vector<std::string> values;
    for (const auto& [k, v] : Fields)
      if (k == key) values.push_back(v);
    return values;
  }
  // The values of `key` as the lines of one text.
  std::string Text(const std::string& key) const {
    std::string text;
    for (const std::string& line : All(key)) text += line + '\n';
    if (!text.empty()) text.pop_back();
    return text;
  }
};

inline std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
    } else if (const char next = text[++i]; next == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
  }
  return out;
}

inline std::vector<CaseRecord> ReadCases(const std::string& file) {
  std::ifstream in = OpenCases(file);
  std::vector<CaseRecord> records;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("=== ")) {
      records.push_back({line.substr(4), {}});
    } else if (const size_t colon = line.find(':');
               !records.empty() && !line.starts_with('#') && colon != std::string::npos) {
      records.back().Fields.emplace_back(line.substr(0, colon),
                                         Unescape(line.substr(std::min(colon + 2, line.size()))));
    }
  }
  return records;
}

// A table of one case a line, its fields parted by " | ".
inline std::vector<std::vector<std::string>> ReadRows(const std::string& file) {
  std::ifstream in = OpenCases(file);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    if (line.ends_with(" |")) line += ' ';  // an empty last field
    rows.push_back(Split(line, " | "));
    for (std::string& field : rows.back()) field = Unescape(field);
  }
  return rows;
}

// The rows of `file` whose first field is `kind`, without it.
inline std::vector<std::vector<std::string>> ReadRows(const std::string& file,
                                                      const std::string& kind) {
  std::vector<std::vector<std::string>> rows;
  for (auto& row : ReadRows(file)) {
    if (row[0] == kind) rows.emplace_back(row.begin() + 1, row.end());
  }
  return rows;
}

}  // namespace kestrix::test
