#include "cli/arguments.h"

#include <charconv>

namespace kestrix {

namespace {

const OptionSpec* FindSpec(std::string_view name,
                           std::span<const std::span<const OptionSpec>> groups) {
  for (std::span<const OptionSpec> group : groups) {
    for (const OptionSpec& spec : group) {
      if (spec.name == name) return &spec;
    }
  }
  return nullptr;
}

}  // namespace

bool ParsedArguments::Has(std::string_view name) const {
  for (const auto& option : options_) {
    if (option.first == name) return true;
  }
  return false;
}

std::optional<std::string> ParsedArguments::Value(std::string_view name) const {
  std::optional<std::string> value;
  for (const auto& option : options_) {
    if (option.first == name) value = option.second;
  }
  return value;
}

bool ParsedArguments::HasAny(std::span<const OptionSpec> specs) const {
  for (const OptionSpec& spec : specs) {
    if (Has(spec.name)) return true;
  }
  return false;
}

void ParsedArguments::Add(std::string name, std::string value) {
  options_.emplace_back(std::move(name), std::move(value));
}

ParseOutcome ParseArguments(std::span<const std::string> words,
                            std::span<const std::span<const OptionSpec>> groups) {
  ParseOutcome out;
  ParsedArguments& args = out.arguments;
  bool optionsEnded = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      args.positional.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "-h" || word == "--help") {
      args.help = true;
      continue;
    }
    if (word.rfind("--", 0) != 0) {
      out.error = "unknown option \"" + word + "\"";
      return out;
    }
    std::string_view body = std::string_view(word).substr(2);
    std::optional<std::string> inlineValue;
    if (size_t eq = body.find('='); eq != std::string_view::npos) {
      inlineValue = std::string(body.substr(eq + 1));
      body = body.substr(0, eq);
    }
    const OptionSpec* spec = FindSpec(body, groups);
    if (spec == nullptr) {
      out.error = "unknown option \"--" + std::string(body) + "\"";
      return out;
    }
    std::string value;
    if (spec->valueName.empty()) {
      if (inlineValue) {
        out.error = "option \"--" + std::string(body) + "\" takes no value";
        return out;
      }
    } else if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < words.size()) {
      value = words[++i];
    } else {
      out.error = "option \"--" + std::string(body) + "\" needs a value (" +
                  std::string(spec->valueName) + ")";
      return out;
    }
    if (spec->joins) {
      if (std::optional<std::string> earlier = args.Value(body); earlier && !earlier->empty()) {
        value = value.empty() ? *earlier : *earlier + ";" + value;
      }
    }
    args.Add(std::string(body), std::move(value));
  }
  return out;
}

std::optional<int> ParseBoundedInt(std::string_view text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace kestrix
