// Splitting a command's arguments into positional words and options. Each
// command declares the options it accepts; anything else is a usage error, so
// a mistyped option never silently changes what a download does.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrix {

struct OptionSpec {
  std::string_view name;       // without the leading "--"
  std::string_view valueName;  // empty for a switch
  std::string_view help;
  bool joins = false;  // given more than once, the values are joined with ";"
};

class ParsedArguments {
 public:
  std::vector<std::string> positional;
  bool help = false;

  bool Has(std::string_view name) const;
  // The value of the last occurrence (joined values for joining options).
  std::optional<std::string> Value(std::string_view name) const;
  // Whether any of the named options was given.
  bool HasAny(std::span<const OptionSpec> specs) const;

  void Add(std::string name, std::string value);

 private:
  std::vector<std::pair<std::string, std::string>> options_;
};

struct ParseOutcome {
  ParsedArguments arguments;
  std::string error;  // empty when the arguments are well formed
};

// Accepts "--name value", "--name=value", "--switch", "-h"/"--help" and "--"
// (everything after it is positional). `groups` lists the accepted options.
ParseOutcome ParseArguments(std::span<const std::string> words,
                            std::span<const std::span<const OptionSpec>> groups);

// A whole decimal number within [low, high], or nullopt.
std::optional<int> ParseBoundedInt(std::string_view text, int low, int high);

}  // namespace kestrix
