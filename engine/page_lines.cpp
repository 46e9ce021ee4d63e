#include "engine/page_lines.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace kestrix {

bool LoadPageLines(const std::string& path, TPageLines& page) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  const std::string text = buffer.str();

  page.Lines.clear();
  const size_t firstBreak = text.find('\n');
  page.Break = firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r'
                   ? "\r\n"
                   : "\n";
  page.FinalBreak = !text.empty() && text.back() == '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t lineEnd = end;
    if (lineEnd > start && text[lineEnd - 1] == '\r') --lineEnd;
    page.Lines.emplace_back(text, start, lineEnd - start);
    start = end + 1;
  }
  return true;
}

bool SavePageLines(const std::string& path, const TPageLines& page) {
  std::string text;
  for (size_t i = 0; i < page.Lines.size(); ++i) {
    text += page.Lines[i];
    if (i + 1 < page.Lines.size() || page.FinalBreak) text += page.Break;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace kestrix
