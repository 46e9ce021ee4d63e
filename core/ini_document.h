// The settings file's text held in memory: sections of key=value lines, with
// the private-profile rules every reader of the file relies on. Section and
// key names are compared without regard to case (ASCII letters); a value is
// everything after the first "=" of its line, kept verbatim. Lines the program
// does not touch (comments, blank lines, unknown sections) survive a rewrite.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

struct IniEntry {
  std::string key;    // trimmed of surrounding blanks; the whole line when it has no "="
  std::string value;  // verbatim after the first "="; empty when the line has none

  bool operator==(const IniEntry&) const = default;
};

class IniDocument {
 public:
  // Accepts "\n" and "\r\n" line ends; never fails.
  static IniDocument Parse(std::string_view text);
  // The document as file text, lines ended by "\n".
  std::string ToText() const;

  bool HasSection(std::string_view section) const;
  // Every non-blank, non-comment line of the first section of that name, in
  // file order.
  std::vector<IniEntry> ReadSection(std::string_view section) const;
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  // Decimal text with an optional sign; anything else gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  // Stored as an integer: non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Sets the key's value, adding the key (and the section) when missing.
  // Refuses (returns false, changes nothing) names and values that would
  // break the line structure: line breaks anywhere, "=" in a key, "]" in a
  // section name, a key beginning with "[" or ";", or an empty key.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  // Removes every section of that name with all its lines.
  void EraseSection(std::string_view section);

 private:
  struct Section {
    std::string name;
    std::vector<std::string> lines;  // the lines after the header, without line ends
  };

  std::vector<std::string> preamble_;  // lines before the first header; no reader sees them
  std::vector<Section> sections_;
};

// Integer conversion shared by every reader of stored numbers: optional
// blanks, an optional sign, decimal digits, within the range of int.
std::optional<int> ParseDecimalInt(std::string_view text);

}  // namespace kestrix
