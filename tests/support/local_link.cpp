#include "tests/support/local_link.h"

#include <cctype>
#include <sstream>

namespace kestrix::test {
namespace {

// Whether a link has a scheme ("https:", "data:") or starts with "//".
bool NamesTheWeb(const std::string& link) {
  const size_t end =
      link.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-.");
  return link.starts_with("//") ||
         (!link.empty() && std::isalpha(static_cast<unsigned char>(link[0])) &&
          end != std::string::npos && link[end] == ':');
}

}  // namespace

std::string LinkToPath(const std::string& link) {
  const std::string text = link.substr(0, link.find('#'));
  std::string path;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      path += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += text[i];
    }
  }
  return path;
}

std::vector<std::string> LocalLinks(const std::string& text) {
  std::vector<std::string> links;
  for (const std::string name : {" href=\"", " src=\"", " srcset=\""}) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
      const size_t from = at + name.size();
      const std::string value = text.substr(from, text.find('"', from) - from);
      if (name != " srcset=\"") {
        links.push_back(value);
        continue;
      }
      std::istringstream candidates(value);
      for (std::string candidate; std::getline(candidates, candidate, ',');) {
        std::istringstream words(candidate);
        std::string url;
        if (words >> url) links.push_back(url);
      }
    }
  }
  for (size_t at = text.find("url("); at != std::string::npos; at = text.find("url(", at + 1)) {
    size_t from = at + 4;
    while (from < text.size() && text[from] == ' ') ++from;
    if (text.compare(from, 6, "&quot;") == 0) from += 6;
    if (from < text.size() && (text[from] == '"' || text[from] == '\'')) ++from;
    const size_t end = text.find_first_of("\"')&", from);
    links.push_back(text.substr(from, end - from));
  }
  std::vector<std::string> local;
  for (const std::string& link : links) {
    if (!link.empty() && link[0] != '#' && !NamesTheWeb(link)) local.push_back(link);
  }
  return local;
}

}  // namespace kestrix::test
